#pragma once

// What the diagnosis may ask of servers on this machine, and only of this
// machine: every call goes to the loopback address 127.0.0.1 and waits at most
// its bound. Neither sends anything a server would act on.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// One UDP question and its answer.
class DatagramPort {
public:
    virtual ~DatagramPort() = default;
    // Sends request from a port of the system's choosing to 127.0.0.1:port
    // and returns the first datagram that comes back within bound; nothing
    // when none does (no server there, or the system refused the socket).
    virtual std::optional<std::string> Ask(std::uint16_t port, std::string_view request,
                                           std::chrono::milliseconds bound) = 0;
};

enum class ConnectOutcome {
    Connected,  // a server accepted; the connection was closed again at once
    Refused,    // nothing listens there
    TimedOut,   // no answer within the bound
    Failed,     // the system would not try (no socket)
};

// A TCP connection opened and closed again, nothing sent on it.
class TcpConnector {
public:
    virtual ~TcpConnector() = default;
    virtual ConnectOutcome Connect(std::uint16_t port, std::chrono::milliseconds bound) = 0;
};

}  // namespace qm

#pragma once

#include "platform/loopback_network.h"

namespace qm::win32 {

// Windows sockets to 127.0.0.1, each question on a socket of its own.
class Win32DatagramPort final : public DatagramPort {
public:
    std::optional<std::string> Ask(std::uint16_t port, std::string_view request,
                                   std::chrono::milliseconds bound) override;
};

class Win32TcpConnector final : public TcpConnector {
public:
    ConnectOutcome Connect(std::uint16_t port, std::chrono::milliseconds bound) override;
};

}  // namespace qm::win32

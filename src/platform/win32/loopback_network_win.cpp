#include "platform/win32/loopback_network_win.h"

#include <winsock2.h>
#include <windows.h>

#include "platform/win32/winsock_win.h"

namespace qm::win32 {
namespace {

// The biggest answer the resolution protocol gives for one instance is about
// 1 KB; a longer datagram is cut, which no reader of it minds.
constexpr int kAnswerBytes = 4096;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    // 127.0.0.1 and the port in network byte order.
    address.sin_addr.s_addr = 0x0100007F;
    address.sin_port = static_cast<u_short>(((port & 0xFF) << 8) | (port >> 8));
    return address;
}

// A set of one socket, built by hand: the FD_ macros call into ws2_32 directly.
fd_set SetOf(SOCKET s) {
    fd_set set{};
    set.fd_count = 1;
    set.fd_array[0] = s;
    return set;
}

timeval TimeValue(std::chrono::milliseconds bound) {
    const long long ms = bound.count() < 0 ? 0 : bound.count();
    return timeval{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
}

}  // namespace

std::optional<std::string> Win32DatagramPort::Ask(std::uint16_t port, std::string_view request,
                                                  std::chrono::milliseconds bound) {
    const WinsockSession winsock;
    if (!winsock) return std::nullopt;
    const UniqueSocket s(Sockets().open(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!s) return std::nullopt;
    // Connected, so only the asked port's answer is taken, and a port nobody
    // holds ends the wait at once (the receive then fails).
    const sockaddr_in address = Loopback(port);
    if (Sockets().connectTo(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return std::nullopt;
    if (Sockets().sendTo(s.get(), request.data(), static_cast<int>(request.size()), 0) !=
        static_cast<int>(request.size()))
        return std::nullopt;
    fd_set readable = SetOf(s.get());
    timeval wait = TimeValue(bound);
    if (Sockets().wait(0, &readable, nullptr, nullptr, &wait) != 1) return std::nullopt;
    std::string answer(kAnswerBytes, '\0');
    const int got = Sockets().receive(s.get(), answer.data(), kAnswerBytes, 0);
    if (got < 0) return std::nullopt;
    answer.resize(static_cast<std::size_t>(got));
    return answer;
}

ConnectOutcome Win32TcpConnector::Connect(std::uint16_t port, std::chrono::milliseconds bound) {
    const WinsockSession winsock;
    if (!winsock) return ConnectOutcome::Failed;
    const UniqueSocket s(Sockets().open(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!s) return ConnectOutcome::Failed;
    u_long nonBlocking = 1;
    if (Sockets().control(s.get(), FIONBIO, &nonBlocking) != 0) return ConnectOutcome::Failed;
    const sockaddr_in address = Loopback(port);
    if (Sockets().connectTo(s.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return ConnectOutcome::Connected;
    const int started = Sockets().lastError();
    if (started == WSAECONNREFUSED) return ConnectOutcome::Refused;
    if (started != WSAEWOULDBLOCK) return ConnectOutcome::Failed;
    fd_set writable = SetOf(s.get());
    fd_set failed = SetOf(s.get());
    timeval wait = TimeValue(bound);
    const int ready = Sockets().wait(0, nullptr, &writable, &failed, &wait);
    if (ready == 0) return ConnectOutcome::TimedOut;
    if (ready < 0) return ConnectOutcome::Failed;
    if (writable.fd_count == 1) return ConnectOutcome::Connected;
    int error = 0;
    int length = sizeof error;
    Sockets().option(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
    return error == WSAECONNREFUSED ? ConnectOutcome::Refused : ConnectOutcome::Failed;
}

}  // namespace qm::win32

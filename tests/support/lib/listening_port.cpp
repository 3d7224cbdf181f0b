#include "support/lib/listening_port.h"

#include <ws2tcpip.h>

namespace qm::test {

ListeningPort::ListeningPort(int family) {
    WSADATA data{};
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!started_) return;
    socket_ = socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) return;
    sockaddr_storage address{};
    int length = 0;
    if (family == AF_INET6) {
        const DWORD v6Only = 1;
        setsockopt(socket_, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&v6Only), sizeof v6Only);
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        v6.sin6_family = AF_INET6;
        v6.sin6_addr = in6addr_any;
        length = sizeof v6;
    } else {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = htonl(INADDR_ANY);
        length = sizeof v4;
    }
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(socket_, 1) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    // The port sits at the same place in both address forms.
    port_ = ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port);
}

ListeningPort::~ListeningPort() {
    Release();
    if (started_) WSACleanup();
}

void ListeningPort::Release() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = INVALID_SOCKET;
}

}  // namespace qm::test

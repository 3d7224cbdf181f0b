#pragma once

#include <winsock2.h>

#include <cstdint>

namespace qm::test {

// A TCP port held open by the test: listening on every address of the family
// (IPv6 alone for AF_INET6), on a port the system picks, until Release or the
// object goes.
class ListeningPort {
public:
    explicit ListeningPort(int family = AF_INET);
    ~ListeningPort();
    ListeningPort(const ListeningPort&) = delete;
    ListeningPort& operator=(const ListeningPort&) = delete;

    std::uint16_t Port() const { return port_; }  // 0: no port could be held
    void Release();

private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
};

}  // namespace qm::test

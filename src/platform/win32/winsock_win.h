// The socket calls the network views use, taken from the system's ws2_32.dll
// on first use, with owners for a started session and an open socket.
#pragma once

#include <winsock2.h>
#include <windows.h>

namespace qm::win32 {

struct Winsock {
    decltype(WSAStartup)* startup;
    decltype(WSACleanup)* cleanup;
    decltype(socket)* open;
    decltype(setsockopt)* setOption;
    decltype(getsockopt)* option;
    decltype(bind)* bindTo;
    decltype(connect)* connectTo;
    decltype(send)* sendTo;
    decltype(recv)* receive;
    decltype(select)* wait;
    decltype(ioctlsocket)* control;
    decltype(closesocket)* close;
    decltype(WSAGetLastError)* lastError;
    // Every call was found: a session may start.
    bool complete() const;
};

const Winsock& Sockets();

class WinsockSession {
public:
    WinsockSession();
    ~WinsockSession();
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    explicit operator bool() const { return started_; }

private:
    WSADATA data_{};
    bool started_ = false;
};

class UniqueSocket {
public:
    explicit UniqueSocket(SOCKET s) : socket_(s) {}
    ~UniqueSocket() {
        if (socket_ != INVALID_SOCKET) Sockets().close(socket_);
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    SOCKET get() const { return socket_; }
    explicit operator bool() const { return socket_ != INVALID_SOCKET; }

private:
    SOCKET socket_;
};

}  // namespace qm::win32

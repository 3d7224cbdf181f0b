#include "platform/win32/winsock_win.h"

#include "platform/win32/system_library.h"

namespace qm::win32 {

namespace {

template <typename F>
F* Call(const char* name) {
    return SystemFunction<F>(L"ws2_32.dll", name);
}

}  // namespace

bool Winsock::complete() const {
    return startup && cleanup && open && setOption && option && bindTo && connectTo && sendTo && receive && wait &&
           control && close && lastError;
}

const Winsock& Sockets() {
    static const Winsock calls{
        .startup = Call<decltype(WSAStartup)>("WSAStartup"),
        .cleanup = Call<decltype(WSACleanup)>("WSACleanup"),
        .open = Call<decltype(socket)>("socket"),
        .setOption = Call<decltype(setsockopt)>("setsockopt"),
        .option = Call<decltype(getsockopt)>("getsockopt"),
        .bindTo = Call<decltype(bind)>("bind"),
        .connectTo = Call<decltype(connect)>("connect"),
        .sendTo = Call<decltype(send)>("send"),
        .receive = Call<decltype(recv)>("recv"),
        .wait = Call<decltype(select)>("select"),
        .control = Call<decltype(ioctlsocket)>("ioctlsocket"),
        .close = Call<decltype(closesocket)>("closesocket"),
        .lastError = Call<decltype(WSAGetLastError)>("WSAGetLastError"),
    };
    return calls;
}

WinsockSession::WinsockSession() { started_ = Sockets().complete() && Sockets().startup(MAKEWORD(2, 2), &data_) == 0; }

WinsockSession::~WinsockSession() {
    if (started_) Sockets().cleanup();
}

}  // namespace qm::win32

// A service of our own for the Windows tests. What it does comes from the
// command line it was registered with:
//   --start-delay-ms N   stay start-pending for N ms (with rising checkpoints), then run
//   --fail-start         at the end of the start delay stop instead of running
//   --stop-delay-ms N    on a stop, stay stop-pending for N ms, then stop
//   --refuse-stop        never accept the stop control
//   --log-file PATH --log-line TEXT
//                        once running, append TEXT and a line end to PATH
//   --listen-port N      once running, listen on TCP port N of every IPv4 address
//   --exit-after-ms N --exit-code C
//                        N ms after running, stop by itself with the service-specific code C
//   //XX//Name           ignored: what a real Tomcat runner is told, so a copy
//                        of this service can stand in for one
// The user control kQuitControl ends it at once whatever it was told, so a
// test can clean up a service that refuses stops.
#include "platform/win32/unique_handle.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cwchar>
#include <mutex>
#include <string>
#include <string_view>

namespace {

constexpr DWORD kQuitControl = 128;
constexpr DWORD kReportEveryMs = 100;

struct Behaviour {
    DWORD startDelayMs = 0;
    bool failStart = false;
    DWORD stopDelayMs = 0;
    bool refuseStop = false;
    std::wstring logFile;
    std::wstring logLine;
    unsigned listenPort = 0;
    DWORD exitAfterMs = INFINITE;
    DWORD exitCode = 0;
};

Behaviour behaviour;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
qm::win32::UniqueKernelHandle stopRequested;
std::atomic<bool> quitRequested{false};  // set before stopRequested is signalled
std::mutex reporting;
SERVICE_STATUS status{};

bool ParseArguments(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == L"--start-delay-ms" && hasValue) {
            behaviour.startDelayMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (argument == L"--stop-delay-ms" && hasValue) {
            behaviour.stopDelayMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (argument == L"--fail-start") {
            behaviour.failStart = true;
        } else if (argument == L"--refuse-stop") {
            behaviour.refuseStop = true;
        } else if (argument == L"--log-file" && hasValue) {
            behaviour.logFile = argv[++i];
        } else if (argument == L"--log-line" && hasValue) {
            behaviour.logLine = argv[++i];
        } else if (argument == L"--listen-port" && hasValue) {
            behaviour.listenPort = static_cast<unsigned>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (argument == L"--exit-after-ms" && hasValue) {
            behaviour.exitAfterMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (argument == L"--exit-code" && hasValue) {
            behaviour.exitCode = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (argument.substr(0, 2) != L"//") {
            return false;
        }
    }
    return true;
}

// Reports a state; a pending state counts its checkpoint up with each report.
void Report(DWORD state, DWORD waitHintMs = 0, DWORD exitCode = NO_ERROR) {
    const std::lock_guard<std::mutex> lock(reporting);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending && status.dwCurrentState == state ? status.dwCheckPoint + 1 : (pending ? 1 : 0);
    status.dwCurrentState = state;
    status.dwWaitHint = waitHintMs;
    status.dwControlsAccepted = state == SERVICE_RUNNING && !behaviour.refuseStop ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = exitCode == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = exitCode;
    SetServiceStatus(statusHandle, &status);
}

// Stays in a pending state for delayMs, reporting progress meanwhile; a quit
// cuts the wait short.
void StayPending(DWORD state, DWORD delayMs) {
    const ULONGLONG end = GetTickCount64() + delayMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        Report(state, delayMs + kReportEveryMs);
        const DWORD left = static_cast<DWORD>(end - now);
        const DWORD slice = left < kReportEveryMs ? left : kReportEveryMs;
        if (state == SERVICE_STOP_PENDING && quitRequested) return;
        Sleep(slice);
    }
}

DWORD WINAPI HandleControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (behaviour.refuseStop) return ERROR_CALL_NOT_IMPLEMENTED;
        Report(SERVICE_STOP_PENDING, behaviour.stopDelayMs + kReportEveryMs);
        SetEvent(stopRequested.get());
        return NO_ERROR;
    case kQuitControl:
        quitRequested = true;
        SetEvent(stopRequested.get());
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// The line as UTF-8, at the file's end, the way a logger appends.
void AppendLogLine() {
    if (behaviour.logFile.empty()) return;
    const qm::win32::UniqueFileHandle file(CreateFileW(behaviour.logFile.c_str(), FILE_APPEND_DATA,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    std::string line(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, behaviour.logLine.c_str(), -1, nullptr,
                                                                  0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, behaviour.logLine.c_str(), -1, line.data(), static_cast<int>(line.size()),
                        nullptr, nullptr);
    line.back() = '\r';
    line += '\n';
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Listens until the process ends; INVALID_SOCKET when it could not.
SOCKET Listen(unsigned port) {
    WSADATA data{};
    if (port == 0 || WSAStartup(MAKEWORD(2, 2), &data) != 0) return INVALID_SOCKET;
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<u_short>(port));
    if (listener == INVALID_SOCKET) return INVALID_SOCKET;
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(listener, 1) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    return listener;
}

void WINAPI ServiceMain(DWORD, wchar_t** argv) {
    statusHandle = RegisterServiceCtrlHandlerExW(argv[0], HandleControl, nullptr);
    if (!statusHandle) return;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    Report(SERVICE_START_PENDING, behaviour.startDelayMs + kReportEveryMs);
    StayPending(SERVICE_START_PENDING, behaviour.startDelayMs);
    if (behaviour.failStart) {
        Report(SERVICE_STOPPED, 0, 1);
        return;
    }
    Report(SERVICE_RUNNING);
    AppendLogLine();
    const SOCKET listener = Listen(behaviour.listenPort);
    const bool stopped = WaitForSingleObject(stopRequested.get(), behaviour.exitAfterMs) == WAIT_OBJECT_0;
    if (listener != INVALID_SOCKET) closesocket(listener);
    if (!stopped) {
        Report(SERVICE_STOPPED, 0, behaviour.exitCode);
        return;
    }
    if (!quitRequested) StayPending(SERVICE_STOP_PENDING, behaviour.stopDelayMs);
    Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (!ParseArguments(argc, argv)) return 2;
    stopRequested.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    wchar_t anyName[] = L"";  // an own-process service may leave its table name empty
    const SERVICE_TABLE_ENTRYW table[] = {{anyName, ServiceMain}, {nullptr, nullptr}};
    // Outside the service manager (started by hand) this fails: nothing to do then.
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}

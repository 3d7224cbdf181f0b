#pragma once

#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

namespace qm::test {

// What the test service (programs/test_service.cpp) is told to do.
struct TestServiceBehaviour {
    unsigned startDelayMs = 0;
    bool failStart = false;
    unsigned stopDelayMs = 0;
    bool refuseStop = false;
    // A copy of the test service placed where a real installation keeps its
    // service program; empty: the one beside the tests.
    std::wstring program;
    // Put before the options above, as a real service's own (//RS//Tomcat9).
    std::wstring leadingArguments;
    // In place of the test service: the command line of a service that is
    // only looked at, never started.
    std::wstring commandLine;
    // Once running: a line appended to a log, a port listened on, and an
    // end of its own after a while with a service-specific code.
    std::wstring logFile;
    std::wstring logLine;
    unsigned listenPort = 0;
    unsigned exitAfterMs = 0;  // 0: runs until stopped
    unsigned exitCode = 0;
};

// The user control that ends the test service whatever it was told.
inline constexpr DWORD kTestServiceQuitControl = 128;

// The test service registered for one test under a name of its own (no two
// tests, runs or processes share one, since a deleted service keeps its name
// taken while any handle to it is open). The destructor ends the service if
// it still runs, deletes it and waits, with a bound, until it is gone.
class RegisteredTestService {
public:
    // The name starts with namePrefix and goes on with what makes it unique.
    explicit RegisteredTestService(const TestServiceBehaviour& behaviour = {},
                                   const std::wstring& namePrefix = L"QmTestService");
    // Under exactly this name, as a program expects to find a service of its
    // own (one left behind by an interrupted run is removed first). Only one
    // test at a time may use a name this way.
    struct ExactName {
        std::wstring name;
    };
    RegisteredTestService(const TestServiceBehaviour& behaviour, const ExactName& name);
    RegisteredTestService(const RegisteredTestService&) = delete;
    RegisteredTestService& operator=(const RegisteredTestService&) = delete;
    ~RegisteredTestService();

    // The name in the program's own text, UTF-8.
    const std::string& Name() const { return name_; }

    std::optional<DWORD> State() const;
    bool WaitForState(DWORD state, std::chrono::milliseconds bound = std::chrono::seconds(10)) const;

    // By the test's own hand, not through the code under test: a start or a
    // stop request that returns once the manager took it, and a start that
    // waits until the service runs.
    bool RequestStart();
    bool RequestStop();
    bool StartAndWaitUntilRunning();

private:
    void Register(const TestServiceBehaviour& behaviour);

    std::wstring wideName_;
    std::string name_;
    win32::UniqueServiceHandle manager_;
    win32::UniqueServiceHandle service_;
};

// Whether the service manager knows a service of this name.
bool ServiceExists(const std::wstring& name);

}  // namespace qm::test

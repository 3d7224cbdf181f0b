#pragma once

// Stand-ins for the ports that a Windows test does not exercise itself.

#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "platform/process_environment.h"
#include "platform/waiting.h"
#include "tomcat/process_shutdown.h"

namespace qm::test {

// An environment of the test's own choosing, not the process's.
class MapEnvironment : public ProcessEnvironment {
public:
    std::map<std::string, std::string, std::less<>> variables;
    std::string Get(std::string_view name) const override {
        const auto found = variables.find(name);
        return found == variables.end() ? std::string() : found->second;
    }
    void Set(std::string_view name, std::string_view value) override { variables[std::string(name)] = value; }
};

// Really sleeps, and pumps this thread's messages as the program's waits do.
class ThreadWaiting : public Waiting {
public:
    void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }
    void PumpPendingMessages() override {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
};

// No Tomcat service on this machine.
class NoService : public tomcat::ServiceStopper {
public:
    void Stop(std::string_view) override {}
    bool IsDown(std::string_view) override { return true; }
};

}  // namespace qm::test

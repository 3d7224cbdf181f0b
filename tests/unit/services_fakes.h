#pragma once

#include "platform/service_manager.h"
#include "platform/waiting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qm::test {

// Both fakes write into one log, so a test reads the whole sequence of
// service calls, sleeps and pumps in the order they happened, e.g.
//   OpenManager(default, F003F) -> #1    OpenService(#1, tomcat6, F01FF) -> #2
//   Control(#2, 1) -> ok    Sleep(1000)    Query(#2) -> 1    Pump    Close(#2)
using CallLog = std::vector<std::string>;

// How one service of the fake answers.
struct ScriptedService {
    std::uint32_t grantedAccess = 0xF01FF;  // a wider open than this fails with access denied
    bool acceptsStop = true;
    bool acceptsStart = true;
    // Answers to successive queries (no value: the query fails); the last repeats.
    std::vector<std::optional<std::uint32_t>> states{1};
};

class FakeServiceManager final : public ServiceManager {
public:
    explicit FakeServiceManager(CallLog& log) : log_(log) {}

    ScriptedService& Add(const std::string& name) { return services_[name]; }
    std::uint32_t grantedManagerAccess = 0xF003F;

    // Tokens handed out and not closed yet.
    const std::set<std::uintptr_t>& OpenHandles() const { return open_; }

    ServiceHandle OpenManager(std::optional<std::string_view> database, std::uint32_t access) override;
    ServiceOpening OpenServiceByName(ServiceHandle manager, std::string_view name, std::uint32_t access) override;
    bool Control(ServiceHandle service, std::uint32_t control) override;
    bool Start(ServiceHandle service) override;
    std::optional<std::uint32_t> QueryState(ServiceHandle service) override;
    void Close(ServiceHandle handle) override;

private:
    ScriptedService* ServiceOf(ServiceHandle handle, const char* call);
    ServiceHandle Hand(std::string what);

    CallLog& log_;
    std::map<std::string, ScriptedService, std::less<>> services_;
    std::map<std::uintptr_t, std::string> serviceOfHandle_;
    std::map<std::string, std::size_t> queriesOf_;
    std::set<std::uintptr_t> open_;
    std::uintptr_t next_ = 1;
};

class FakeWaiting final : public Waiting {
public:
    explicit FakeWaiting(CallLog& log) : log_(log) {}

    // Runs once, inside the next pump: what a handler dispatched by it would do.
    std::function<void()> duringNextPump;

    void Sleep(unsigned milliseconds) override;
    void PumpPendingMessages() override;

private:
    CallLog& log_;
};

// How many log lines begin with prefix.
std::size_t CountStartingWith(const CallLog& log, const std::string& prefix);

// What every test of a service operation works with: the manager and the
// waits, writing to one log, and the check that the operation closed every
// handle it opened.
class ServiceOperationTest : public ::testing::Test {
protected:
    CallLog log;
    FakeServiceManager manager{log};
    FakeWaiting waiting{log};

    void ExpectEveryHandleClosed() { EXPECT_TRUE(manager.OpenHandles().empty()) << "a handle was left open"; }
};

}  // namespace qm::test

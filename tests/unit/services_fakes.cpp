#include "services_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace qm::test {
namespace {

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

constexpr std::size_t kEndlessWait = 100000;
constexpr std::uint32_t kNoSuchService = 1060;
constexpr std::uint32_t kAccessDenied = 5;

std::string Token(ServiceHandle handle) { return "#" + std::to_string(static_cast<std::uintptr_t>(handle)); }

}  // namespace

ServiceHandle FakeServiceManager::Hand(std::string what) {
    const std::uintptr_t token = next_++;
    open_.insert(token);
    log_.push_back(std::move(what) + " -> #" + std::to_string(token));
    return static_cast<ServiceHandle>(token);
}

ServiceHandle FakeServiceManager::OpenManager(std::optional<std::string_view> database, std::uint32_t access) {
    std::string call =
        "OpenManager(" + (database ? std::string(*database) : std::string("default")) + ", " + Hex(access) + ")";
    const bool knownDatabase = !database || *database == "ServicesActive";
    if (!knownDatabase || (access & ~grantedManagerAccess) != 0) {
        log_.push_back(call + " -> none");
        return ServiceHandle::None;
    }
    return Hand(std::move(call));
}

ServiceOpening FakeServiceManager::OpenServiceByName(ServiceHandle manager, std::string_view name,
                                                     std::uint32_t access) {
    std::string call = "OpenService(" + Token(manager) + ", " + std::string(name) + ", " + Hex(access) + ")";
    if (open_.count(static_cast<std::uintptr_t>(manager)) == 0) ADD_FAILURE() << call << " on a handle not open";
    const auto found = services_.find(name);
    if (found == services_.end() || (access & ~found->second.grantedAccess) != 0) {
        log_.push_back(call + " -> none");
        return {ServiceHandle::None, found == services_.end() ? kNoSuchService : kAccessDenied};
    }
    const ServiceHandle handle = Hand(std::move(call));
    serviceOfHandle_[static_cast<std::uintptr_t>(handle)] = found->first;
    return {handle, 0};
}

ScriptedService* FakeServiceManager::ServiceOf(ServiceHandle handle, const char* call) {
    const auto token = static_cast<std::uintptr_t>(handle);
    const auto found = serviceOfHandle_.find(token);
    if (open_.count(token) == 0 || found == serviceOfHandle_.end()) {
        ADD_FAILURE() << call << " on " << Token(handle) << ", which is no open service handle";
        return nullptr;
    }
    return &services_.find(found->second)->second;
}

bool FakeServiceManager::Control(ServiceHandle service, std::uint32_t control) {
    const ScriptedService* scripted = ServiceOf(service, "Control");
    const bool accepted = scripted && scripted->acceptsStop;
    log_.push_back("Control(" + Token(service) + ", " + std::to_string(control) + ") -> " +
                   (accepted ? "ok" : "refused"));
    return accepted;
}

bool FakeServiceManager::Start(ServiceHandle service) {
    const ScriptedService* scripted = ServiceOf(service, "Start");
    const bool accepted = scripted && scripted->acceptsStart;
    log_.push_back("Start(" + Token(service) + ") -> " + (accepted ? "ok" : "refused"));
    return accepted;
}

std::optional<std::uint32_t> FakeServiceManager::QueryState(ServiceHandle service) {
    const ScriptedService* scripted = ServiceOf(service, "Query");
    std::optional<std::uint32_t> state;
    if (scripted && !scripted->states.empty()) {
        std::size_t& asked = queriesOf_[serviceOfHandle_[static_cast<std::uintptr_t>(service)]];
        // A wait without an end would hang the test run: fail it instead.
        if (asked == kEndlessWait) throw std::runtime_error("the wait polls on and on");
        state = scripted->states[std::min(asked++, scripted->states.size() - 1)];
    }
    log_.push_back("Query(" + Token(service) + ") -> " + (state ? std::to_string(*state) : std::string("failed")));
    return state;
}

void FakeServiceManager::Close(ServiceHandle handle) {
    const auto token = static_cast<std::uintptr_t>(handle);
    if (open_.erase(token) == 0) ADD_FAILURE() << "Close of " << Token(handle) << ", which is not open";
    serviceOfHandle_.erase(token);
    log_.push_back("Close(" + Token(handle) + ")");
}

void FakeWaiting::Sleep(unsigned milliseconds) { log_.push_back("Sleep(" + std::to_string(milliseconds) + ")"); }

void FakeWaiting::PumpPendingMessages() {
    log_.push_back("Pump");
    if (duringNextPump) std::exchange(duringNextPump, {})();
}

std::size_t CountStartingWith(const CallLog& log, const std::string& prefix) {
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
}

}  // namespace qm::test

#include "services/service_control.h"

#include <array>

namespace qm::services {

std::string_view ServiceStateWord(std::uint32_t state) {
    // 0 is no state at all: it reads "unknown", like anything above 7.
    static constexpr std::array<std::string_view, 8> kWords = {
        "unknown", "notRunning", "starting", "stopping", "running", "continuePending", "pausePending", "paused",
    };
    return state < kWords.size() ? kWords[state] : kWords[0];
}

std::string_view ServiceStateInWords(std::uint32_t state) {
    static constexpr std::array<std::string_view, 8> kWords = {
        "状态未知", "已停止", "正在启动", "正在停止", "运行中", "正在继续", "正在暂停", "已暂停",
    };
    return state < kWords.size() ? kWords[state] : kWords[0];
}

std::string CannotOpenService(std::string_view name) {
    std::string sentence = "Can not open the service(";
    sentence += name;
    sentence += ')';
    return sentence;
}

// A handle that did not open would only make the next call fail, so the stop
// and the start take that failure path at once instead of making the call. The
// handles close in reverse order of opening: the service, then the manager.

void StopServies(ServiceManager& manager, Waiting& waiting, std::string_view name) {
    const OwnedServiceHandle scm(manager, manager.OpenManager(std::nullopt, kManagerAllAccess));
    if (!scm) return;
    const OwnedServiceHandle service(manager, manager.OpenServiceByName(scm.get(), name, kServiceAllAccess).handle);
    if (!service || !manager.Control(service.get(), kControlStop)) return;
    for (int poll = 1;; ++poll) {
        waiting.Sleep(kStopPollMs);
        const std::optional<std::uint32_t> state = manager.QueryState(service.get());
        if (!state) return;
        waiting.PumpPendingMessages();
        if (*state != kStopPending || poll == kMaxPendingPolls) return;
    }
}

std::string RunService(ServiceManager& manager, Waiting& waiting, std::string_view name) {
    const std::string failed(kStartFailed);
    // No name is no service: nothing that could start.
    if (name.empty()) return failed;
    const OwnedServiceHandle scm(manager, manager.OpenManager(std::nullopt, kManagerAllAccess));
    if (!scm) return failed;
    const OwnedServiceHandle service(manager, manager.OpenServiceByName(scm.get(), name, kServiceAllAccess).handle);
    if (!service || !manager.Start(service.get())) return failed;
    for (int poll = 1;; ++poll) {
        const std::optional<std::uint32_t> state = manager.QueryState(service.get());
        if (!state) return failed;
        waiting.Sleep(kStartHalfPollMs);
        waiting.PumpPendingMessages();
        if (*state != kStartPending) return *state == kRunning ? std::string(kStartSucceeded) : failed;
        // Still pending at the cap: the service is stuck, which is no success.
        if (poll == kMaxPendingPolls) return failed;
        waiting.Sleep(kStartHalfPollMs);
    }
}

namespace {

// One look at a service with connect and query rights only, so a user who
// may not control services can still ask.
struct ServiceLook {
    bool managerOpened = false;
    ServiceOpening opening;
    std::optional<std::uint32_t> state;  // when the service opened and answered
};

ServiceLook LookAt(ServiceManager& manager, std::string_view name) {
    ServiceLook look;
    const OwnedServiceHandle scm(manager, manager.OpenManager(kActiveDatabase, kManagerConnect));
    look.managerOpened = static_cast<bool>(scm);
    if (!scm) return look;
    look.opening = manager.OpenServiceByName(scm.get(), name, kServiceQueryStatus);
    const OwnedServiceHandle service(manager, look.opening.handle);
    if (service) look.state = manager.QueryState(service.get());
    return look;
}

}  // namespace

std::string GetServiceState(ServiceManager& manager, std::string_view name) {
    const ServiceLook look = LookAt(manager, name);
    if (!look.managerOpened) return std::string(kCannotOpenManager);
    if (look.opening.handle == ServiceHandle::None) return CannotOpenService(name);
    if (!look.state) return "notQuery";
    return std::string(ServiceStateWord(*look.state));
}

bool IsStoppedOrAbsent(ServiceManager& manager, std::string_view name) {
    const ServiceLook look = LookAt(manager, name);
    if (look.opening.handle == ServiceHandle::None)
        return look.managerOpened && look.opening.error == kServiceDoesNotExist;
    return look.state == kStopped;
}

}  // namespace qm::services

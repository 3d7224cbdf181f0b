#include "sqlserver/instance_page.h"

#include "services/service_control.h"
#include "sqlserver/instance_names.h"

namespace qm::sqlserver {
namespace {

// "【" + instance + tail; every tail starts with "】" and ends with an ASCII "!".
std::string Message(std::string_view instance, std::string_view tail) {
    std::string text = "【";
    text += instance;
    text += tail;
    return text;
}

}  // namespace

PageOutcome OutcomeOfPick(std::string_view stateWord) {
    if (stateWord == "notRunning") return {std::nullopt, kStartOnly};
    if (stateWord == "running") return {std::nullopt, kStopOnly};
    // Pending and paused states and the error sentences: the user reads them
    // as they are, and the buttons keep what the last pick or action left.
    return {std::string(stateWord), std::nullopt};
}

PageOutcome OutcomeOfStart(std::string_view instance, std::string_view startResult) {
    if (startResult == services::kStartSucceeded) return {Message(instance, "】服务已启动!"), kStopOnly};
    return {Message(instance, "】服务启动失败!"), std::nullopt};
}

PageOutcome OutcomeOfStop(std::string_view instance, std::string_view stateAfterStop) {
    // The stop itself reports nothing, so the service's state afterwards is
    // what tells a stopped service from a refused request.
    if (stateAfterStop == "notRunning") return {Message(instance, "】服务已停止!"), kStartOnly};
    return {Message(instance, "】服务停止失败!"), std::nullopt};
}

PageOutcome InstancePage::Pick(std::string_view instance) {
    if (instance.empty()) return {std::nullopt, kNoButtons};
    return OutcomeOfPick(services::GetServiceState(manager_, ServiceNameOf(instance)));
}

PageOutcome InstancePage::Start(std::string_view instance) {
    return OutcomeOfStart(instance, services::RunService(manager_, waiting_, ServiceNameOf(instance)));
}

PageOutcome InstancePage::Stop(std::string_view instance) {
    const std::string service = ServiceNameOf(instance);
    services::StopServies(manager_, waiting_, service);
    return OutcomeOfStop(instance, services::GetServiceState(manager_, service));
}

}  // namespace qm::sqlserver

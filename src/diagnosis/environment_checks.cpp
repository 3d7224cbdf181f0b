// A variable as this process has it against the machine's environment key.

#include <algorithm>

#include "diagnosis/checks.h"

namespace qm::diagnosis {
namespace {

constexpr std::string_view kMachineEnvironmentKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

}  // namespace

std::string ExpandVariables(std::string_view value, const ProcessEnvironment& environment) {
    std::string out;
    std::size_t at = 0;
    while (at < value.size()) {
        const std::size_t open = value.find('%', at);
        const std::size_t close = open == std::string_view::npos ? open : value.find('%', open + 1);
        if (close == std::string_view::npos) break;
        out += value.substr(at, open - at);
        const std::string_view name = value.substr(open + 1, close - open - 1);
        const std::string replacement = name.empty() ? std::string() : environment.Get(name);
        out += replacement.empty() ? value.substr(open, close - open + 1) : std::string_view(replacement);
        at = close + 1;
    }
    out += value.substr(std::min(at, value.size()));
    return out;
}

void CheckMachineValue(const Inspectors& inspectors, std::string_view variable, GroupRows& rows) {
    const std::string own = inspectors.environment.Get(variable);
    const std::optional<std::string> stored =
        inspectors.registry.ReadString(kMachineEnvironmentKey, variable, RegistryView::Native);
    // The key holds REG_EXPAND_SZ values as written; this process sees them
    // with %NAME% replaced, so the comparison expands them with its own variables.
    const std::string machine = stored ? ExpandVariables(*stored, inspectors.environment) : std::string();
    if (own.empty() && machine.empty()) return;

    const std::string item = std::string(variable) + " 系统值";
    if (!own.empty() && !machine.empty() && SameDirectory(own, machine)) {
        rows.Add(item, Status::Ok, "与系统环境变量一致");
        return;
    }
    const std::string ownText = own.empty() ? "本程序中没有设置" : "本程序中为 " + own;
    const std::string machineText = machine.empty() ? "系统环境变量中没有设置" : "系统环境变量中为 " + machine;
    rows.Add(item, Status::Notice,
             ownText + "，" + machineText + "：改动之前已经运行的程序（命令行窗口、重启之前的服务管理器）仍看到旧值");
}

}  // namespace qm::diagnosis

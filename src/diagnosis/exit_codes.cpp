#include "diagnosis/exit_codes.h"

#include "text/ascii.h"

namespace qm::diagnosis {
namespace {

// What the service runner's own exit codes mean: it ends with the JVM's code,
// or 1 when it could not make or run the JVM.
std::string RunnerCodeMeaning(std::uint32_t code) {
    if (code == 1) return "：服务程序没能启动 Java 或 Tomcat（JVM 无法创建，或 Tomcat 启动时出错后退出）";
    return {};
}

}  // namespace

std::string ExitCodeWords(std::uint32_t win32ExitCode, std::uint32_t serviceExitCode, SystemMessages& messages) {
    if (win32ExitCode == 0 || win32ExitCode == kServiceNeverStarted) return {};
    if (win32ExitCode == kServiceSpecificError)
        return "服务以它自己的退出代码 " + std::to_string(serviceExitCode) + " 结束" + RunnerCodeMeaning(serviceExitCode);
    const std::optional<std::string> message = messages.MessageOf(win32ExitCode);
    const std::string_view text = message ? text::Trimmed(*message, " \r\n") : std::string_view();
    if (text.empty()) return "退出代码 " + std::to_string(win32ExitCode) + "（系统没有这个代码的说明）";
    return "退出代码 " + std::to_string(win32ExitCode) + "：" + std::string(text);
}

}  // namespace qm::diagnosis

#include "tomcat/tomcat_page.h"

#include "tomcat/notice.h"

#include <array>
#include <stdexcept>

namespace qm::tomcat {
namespace {

// The shell shows this only with a simple progress window, which we don't ask
// for; it is there for a shell that shows it anyway.
constexpr std::string_view kDeletingTitle = "正在删除文件夹";

// The control panel's deletion flags, in the order of the buttons.
constexpr std::array<int, 6> kBrowserDataFlags{8, 2, 1, 16, 32, 255};

}  // namespace

std::string WorkDirectoryPath(std::string_view catalinaHome) {
    std::string path(catalinaHome);
    path += "\\work\\Catalina";
    return path;
}

std::string ProgramDirectoryPath(std::string_view catalinaHome) {
    std::string path(catalinaHome);
    if (path.empty() || path.back() != '\\') path += '\\';
    path += "bin";
    return path;
}

std::string ClearWorkDirectory(TomcatPorts ports) {
    // One reading for both steps: the directory deleted belongs to the
    // installation whose processes were just ended.
    const auto home = ports.environment.Get(kCatalinaHomeVariable);
    if (home.empty()) return std::string(kNoInstallationNotice);
    CloseTomcatProcess(ports.service, ports.processes, ports.environment);
    const auto work = WorkDirectoryPath(home);
    ports.shell.DeleteTree(work, kDeletingTitle);
    return std::string(ports.shell.Exists(work) ? kClearFailedNotice : kClearedNotice);
}

std::optional<std::string> StartTomcatProgram(const ProcessEnvironment& environment, Shell& shell) {
    const auto home = environment.Get(kCatalinaHomeVariable);
    if (home.empty()) return std::string(kNoInstallationNotice);
    shell.StartIn("tomcat6.exe", ProgramDirectoryPath(home));
    return std::nullopt;
}

std::string ServiceStartNotice(std::string_view runServiceResult) {
    return std::string(runServiceResult == "success" ? kServiceStartedNotice
                                                     : kServiceStartFailedNotice);
}

std::string StopTomcat(TomcatPorts ports) {
    const bool down = CloseTomcatProcess(ports.service, ports.processes, ports.environment);
    return std::string(down ? kStoppedNotice : kStopFailedNotice);
}

std::string BrowserDataParameters(int button) {
    if (button < 1 || button > static_cast<int>(kBrowserDataFlags.size()))
        throw std::out_of_range("no browser data button " + std::to_string(button));
    return "inetcpl.cpl,ClearMyTracksByProcess " +
           std::to_string(kBrowserDataFlags[static_cast<std::size_t>(button - 1)]);
}

void ClearBrowserData(Shell& shell, int button) {
    shell.Open("rundll32.exe", BrowserDataParameters(button));
}

}  // namespace qm::tomcat

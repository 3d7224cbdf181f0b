#include "tomcat/tomcat_page.h"

#include "tomcat/notice.h"

namespace qm::tomcat {
namespace {

// The shell shows this only with a simple progress window, which we don't ask
// for; it is there for a shell that shows it anyway.
constexpr std::string_view kDeletingTitle = "正在删除文件夹";

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

Installation CurrentInstallation(TomcatPorts ports) {
    return ReadInstallation(ports.environment.Get(kCatalinaHomeVariable), ports.files, ports.installedServices);
}

std::string ClearWorkDirectory(TomcatPorts ports) {
    if (ports.environment.Get(kCatalinaHomeVariable).empty()) return std::string(kNoInstallationNotice);
    const bool down = CloseTomcatProcess(ports.service, CurrentInstallation(ports).service, ports.processes,
                                         ports.environment, ports.waiting);
    // Read again: the user may have picked another installation while the
    // stop waited, and that is the one meant now.
    const auto home = ports.environment.Get(kCatalinaHomeVariable);
    if (home.empty()) return std::string(kNoInstallationNotice);
    const auto work = WorkDirectoryPath(home);
    // The shell's delete follows a link and would take its target with it.
    if (ports.shell.IsLink(work))
        ports.shell.RemoveLink(work);
    else
        ports.shell.DeleteTree(work, kDeletingTitle);
    return std::string(down && !ports.shell.Exists(work) ? kClearedNotice : kClearFailedNotice);
}

std::optional<std::string> StartTomcatProgram(const ProcessEnvironment& environment, FileInspector& files,
                                              ServiceInspector& installedServices, Shell& shell) {
    const auto home = environment.Get(kCatalinaHomeVariable);
    if (home.empty()) return std::string(kNoInstallationNotice);
    shell.StartIn(ReadInstallation(home, files, installedServices).runner, ProgramDirectoryPath(home));
    return std::nullopt;
}

std::string ServiceStartNotice(std::string_view runServiceResult) {
    return std::string(runServiceResult == "success" ? kServiceStartedNotice : kServiceStartFailedNotice);
}

std::string StopTomcat(TomcatPorts ports) {
    const bool down = CloseTomcatProcess(ports.service, CurrentInstallation(ports).service, ports.processes,
                                         ports.environment, ports.waiting);
    return std::string(down ? kStoppedNotice : kStopFailedNotice);
}

}  // namespace qm::tomcat

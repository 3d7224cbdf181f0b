#include "tomcat/tomcat_page.h"

#include "services/service_control.h"
#include "tomcat/notice.h"

#include <memory>
#include <vector>

namespace qm::tomcat {
namespace {

// The shell shows this only with a simple progress window, which we don't ask
// for; it is there for a shell that shows it anyway.
constexpr std::string_view kDeletingTitle = "正在删除文件夹";

// Deletes work\Catalina below home, and only there: the folders on the way
// must be plain directories, held so until the delete is done, and the links
// inside go as links before the shell, which follows them, sees the tree. An
// ordinary user may write below an installation that an administrator clears.
// Whether nothing of it is left; a missing folder on the way leaves nothing
// to delete.
bool DeleteWorkDirectory(Shell& shell, FileInspector& files, std::string_view home) {
    std::vector<std::unique_ptr<HeldDirectory>> held;
    for (const std::string& folder : {std::string(home), std::string(home) + "\\work"}) {
        const PathKind kind = shell.KindOf(folder);
        if (kind == PathKind::Missing) return true;
        if (kind != PathKind::Directory) return false;
        auto hold = shell.HoldDirectory(folder);
        if (!hold) return false;
        held.push_back(std::move(hold));
    }
    const std::string catalina = WorkDirectoryPath(home);
    const PathKind kind = shell.KindOf(catalina);
    if (kind == PathKind::Missing) return true;
    if (kind != PathKind::Directory) return false;
    const auto links = shell.LinksBelow(catalina);
    if (!links) return false;
    for (const std::string& link : *links)
        if (!shell.RemoveLink(link)) return false;
    // Catalina itself can't be held, as it is what goes: looked at once more
    // right before.
    if (shell.KindOf(catalina) != PathKind::Directory) return false;
    shell.DeleteTree(catalina, kDeletingTitle);
    return !files.Exists(catalina);
}

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
    return ReadRunnerAndService(ports.environment.Get(kCatalinaHomeVariable), ports.files, ports.installedServices);
}

std::string ClearWorkDirectory(TomcatPorts ports) {
    if (ports.environment.Get(kCatalinaHomeVariable).empty()) return std::string(kNoInstallationNotice);
    // Pages in use by a Tomcat that still runs are not ours to take.
    if (!CloseTomcatProcess(ports.service, CurrentInstallation(ports).service, ports.processes, ports.environment,
                            ports.waiting))
        return std::string(kClearFailedNotice);
    // Read again: the installation is the one of the moment of the delete.
    const auto home = ports.environment.Get(kCatalinaHomeVariable);
    if (home.empty()) return std::string(kNoInstallationNotice);
    return std::string(DeleteWorkDirectory(ports.shell, ports.files, home) ? kClearedNotice : kClearFailedNotice);
}

std::optional<std::string> StartTomcatProgram(const ProcessEnvironment& environment, FileInspector& files,
                                              ServiceInspector& installedServices, Shell& shell) {
    const auto home = environment.Get(kCatalinaHomeVariable);
    if (home.empty()) return std::string(kNoInstallationNotice);
    // By its full path: the shell would otherwise look further along its
    // search path for a program of that name when bin has none.
    const Installation installation = ReadRunnerAndService(home, files, installedServices);
    shell.StartIn(RunnerPath(home, installation.runner), ProgramDirectoryPath(home));
    return std::nullopt;
}

std::string ServiceStartNotice(std::string_view runServiceResult) {
    return std::string(runServiceResult == "success" ? kServiceStartedNotice : kServiceStartFailedNotice);
}

std::string StartTomcatService(TomcatPorts ports, ServiceManager& services) {
    return ServiceStartNotice(services::RunService(services, ports.waiting, CurrentInstallation(ports).service));
}

std::string StopTomcat(TomcatPorts ports) {
    const bool down = CloseTomcatProcess(ports.service, CurrentInstallation(ports).service, ports.processes,
                                         ports.environment, ports.waiting);
    return std::string(down ? kStoppedNotice : kStopFailedNotice);
}

}  // namespace qm::tomcat

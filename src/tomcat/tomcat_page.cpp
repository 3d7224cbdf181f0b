#include "tomcat/tomcat_page.h"

#include "tomcat/notice.h"

#include <memory>
#include <vector>

namespace qm::tomcat {
namespace {

// Empties the directory and removes it, and everything below it likewise,
// through handles held from the top down: each entry is opened relative to
// its directory's handle and is removed as what that handle shows it to be,
// so a folder swapped for a link after it was listed is removed as a link,
// never walked into. The first step that fails ends it: nothing more is
// removed. The levels are kept here rather than on the call stack, however
// deep the tree.
bool RemoveTree(std::unique_ptr<OpenedDirectory> top) {
    struct Level {
        std::unique_ptr<OpenedDirectory> directory;
        std::vector<DirectoryEntry> entries;
        std::size_t next = 0;
    };
    std::vector<Level> levels;
    const auto enter = [&levels](std::unique_ptr<OpenedDirectory> directory) {
        std::optional<std::vector<DirectoryEntry>> entries = directory->Entries();
        if (!entries) return false;
        levels.push_back({std::move(directory), std::move(*entries)});
        return true;
    };
    if (!enter(std::move(top))) return false;
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            if (!level.directory->RemoveSelf()) return false;
            levels.pop_back();
            continue;
        }
        const DirectoryEntry entry = level.entries[level.next++];
        if (entry.kind == PathKind::Directory) {
            FoundDirectory found = level.directory->OpenDirectory(entry.name);
            if (found.kind == PathKind::Missing) continue;
            if (found.kind == PathKind::Directory) {
                if (!found.directory || !enter(std::move(found.directory))) return false;
                continue;
            }
        }
        if (!level.directory->RemoveEntry(entry.name)) return false;
    }
    return true;
}

// Deletes work\Catalina below home for good, and only there: home, work and
// Catalina must be plain directories, held from the top down until the
// delete is done. An ordinary user may write below an installation that an
// administrator clears. Whether nothing of it is left; a missing folder on
// the way leaves nothing to delete. The shell's recycle bin would take the
// tree by its path, which can't be held; the compiled pages in it are made
// anew by Tomcat, so nothing is lost.
bool DeleteWorkDirectory(Shell& shell, FileInspector& files, std::string_view home) {
    FoundDirectory installation = shell.OpenDirectory(home);
    if (installation.kind == PathKind::Missing) return true;
    if (!installation.directory) return false;
    FoundDirectory work = installation.directory->OpenDirectory(u"work");
    if (work.kind == PathKind::Missing) return true;
    if (!work.directory) return false;
    FoundDirectory catalina = work.directory->OpenDirectory(u"Catalina");
    if (catalina.kind == PathKind::Missing) return true;
    if (!catalina.directory || !RemoveTree(std::move(catalina.directory))) return false;
    return !files.Exists(WorkDirectoryPath(home));
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

std::string StopTomcat(TomcatPorts ports) {
    const bool down = CloseTomcatProcess(ports.service, CurrentInstallation(ports).service, ports.processes,
                                         ports.environment, ports.waiting);
    return std::string(down ? kStoppedNotice : kStopFailedNotice);
}

}  // namespace qm::tomcat

#include "tomcat/process_shutdown.h"

#include "text/ascii.h"
#include "tomcat/notice.h"
#include "tomcat/paths.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace qm::tomcat {
namespace {

// Ending a process only starts its end; Java takes a moment to let go of its
// files, and the clear button deletes them right after us. We wait in slices
// of a tenth of a second, 5 s in all, with the window kept alive between.
constexpr auto kExitSlice = std::chrono::milliseconds(100);
constexpr int kExitSlices = 50;

bool ContainsJavaw(std::string_view exeName) { return text::ContainsFolded(exeName, "javaw"); }
bool ContainsTomcat(std::string_view exeName) { return text::ContainsFolded(exeName, "tomcat"); }

// Which rules call for ending this process: the Java rule, then the Tomcat
// rule, each with its variable as it is now.
bool RulesCallForEnd(std::string_view exeName, std::string_view path, const ProcessEnvironment& environment) {
    bool end = false;
    if (ContainsJavaw(exeName) && MatchesInstallation(path, environment.Get(kJavaHomeVariable))) end = true;
    if (ContainsTomcat(exeName) && MatchesInstallation(path, environment.Get(kCatalinaHomeVariable))) end = true;
    return end;
}

}  // namespace

bool LooksLikeJavaOrTomcat(std::string_view exeName) { return ContainsJavaw(exeName) || ContainsTomcat(exeName); }

bool CloseTomcatProcess(ServiceStopper& service, std::string_view serviceName, ProcessTable& processes,
                        const ProcessEnvironment& environment, Waiting& waiting) {
    // No name: the installation has no service of its own to stop.
    if (!serviceName.empty()) service.Stop(serviceName);

    // The ended ones stay open, so their identifiers can't be reused before
    // we have seen them go.
    std::vector<std::unique_ptr<OpenedProcess>> ending;
    bool allEnded = true;
    const auto own = processes.OwnProcessId();
    for (const auto& entry : processes.Snapshot()) {
        if (entry.id == own || !LooksLikeJavaOrTomcat(entry.exeName)) continue;
        auto process = processes.Open(entry.id);
        // The kernel's record of the image, never what the process's own
        // memory says about its modules: a process may rewrite that.
        const auto path = process ? process->ImagePath() : processes.ImagePath(entry.id);
        if (!path || !RulesCallForEnd(entry.exeName, *path, environment)) continue;
        if (!process) {
            // Someone else's Tomcat, elevated or of another account: still up.
            allEnded = false;
            continue;
        }
        // A refused end shows when the process is still there below.
        processes.Terminate(entry.id);
        ending.push_back(std::move(process));
    }

    int slicesLeft = kExitSlices;
    for (const auto& process : ending) {
        while (!process->WaitForExit(slicesLeft > 0 ? kExitSlice : std::chrono::milliseconds(0))) {
            if (slicesLeft == 0) {
                allEnded = false;
                break;
            }
            --slicesLeft;
            waiting.PumpPendingMessages();
        }
    }
    return (serviceName.empty() || service.IsDown(serviceName)) && allEnded;
}

}  // namespace qm::tomcat

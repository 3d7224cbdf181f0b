#include "tomcat/process_shutdown.h"

#include "tomcat/notice.h"

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

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Only ASCII letters fold, so a byte of a multi-byte character never equals
// an ASCII letter by accident.
bool SameFolded(char a, char b) {
    if (IsSeparator(a) && IsSeparator(b)) return true;
    return AsciiLower(a) == AsciiLower(b);
}

bool ContainsFolded(std::string_view text, std::string_view word) {
    return std::search(text.begin(), text.end(), word.begin(), word.end(), SameFolded) != text.end();
}

bool ContainsJavaw(std::string_view exeName) { return ContainsFolded(exeName, "javaw"); }
bool ContainsTomcat(std::string_view exeName) { return ContainsFolded(exeName, "tomcat"); }

// Which rules call for ending this process: the Java rule, then the Tomcat
// rule, each with its variable as it is now.
bool RulesCallForEnd(std::string_view exeName, std::string_view path, const ProcessEnvironment& environment) {
    bool end = false;
    if (ContainsJavaw(exeName) && MatchesInstallation(path, environment.Get(kJavaHomeVariable))) end = true;
    if (ContainsTomcat(exeName) && MatchesInstallation(path, environment.Get(kCatalinaHomeVariable))) end = true;
    return end;
}

bool IsDriveName(std::string_view text) {
    return text.size() == 2 && text[1] == ':' && AsciiLower(text[0]) >= 'a' && AsciiLower(text[0]) <= 'z';
}

// How many names a path has, however many separators stand between them.
std::size_t CountNames(std::string_view path) {
    std::size_t names = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (!IsSeparator(path[i]) && (i == 0 || IsSeparator(path[i - 1]))) ++names;
    return names;
}

// Whether a value without its trailing separators is the root of a drive (C:)
// or of a share (\\server\share), also in the \\?\ forms: everything on that
// drive or share would lie inside it.
bool IsRoot(std::string_view value) {
    if (IsDriveName(value)) return true;
    if (value.size() < 2 || !IsSeparator(value[0]) || !IsSeparator(value[1])) return false;
    value.remove_prefix(2);
    if (value.size() >= 2 && (value[0] == '?' || value[0] == '.') && IsSeparator(value[1])) {
        value.remove_prefix(2);
        if (IsDriveName(value)) return true;
        if (value.size() < 4 || !std::equal(value.begin(), value.begin() + 3, "unc", SameFolded) ||
            !IsSeparator(value[3]))
            return CountNames(value) <= 1;
        value.remove_prefix(4);
    }
    return CountNames(value) <= 2;
}

}  // namespace

bool MatchesInstallation(std::string_view path, std::string_view value) {
    while (!value.empty() && IsSeparator(value.back())) value.remove_suffix(1);
    if (value.empty() || IsRoot(value) || path.size() <= value.size()) return false;
    return std::equal(value.begin(), value.end(), path.begin(), SameFolded) && IsSeparator(path[value.size()]);
}

bool LooksLikeJavaOrTomcat(std::string_view exeName) { return ContainsJavaw(exeName) || ContainsTomcat(exeName); }

bool CloseTomcatProcess(ServiceStopper& service, ProcessTable& processes, const ProcessEnvironment& environment,
                        Waiting& waiting) {
    service.Stop(kTomcatServiceName);

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
    return service.IsDown(kTomcatServiceName) && allEnded;
}

}  // namespace qm::tomcat

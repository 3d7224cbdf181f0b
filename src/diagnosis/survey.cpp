#include <algorithm>

#include "diagnosis/checks.h"
#include "services/service_control.h"

namespace qm::diagnosis {
namespace {

bool IsJavaName(std::string_view exeName) {
    return EqualFolded(exeName, "java.exe") || EqualFolded(exeName, "javaw.exe");
}

bool WantEveryProcess(std::string_view) { return true; }

// The values of -Dcatalina.home and -Dcatalina.base, quoted around the whole
// option or around the value alone.
std::vector<std::string_view> CatalinaDirectories(std::string_view commandLine) {
    std::vector<std::string_view> found;
    for (std::string_view option : {"-Dcatalina.home=", "-Dcatalina.base="}) {
        for (std::size_t at = commandLine.find(option); at != std::string_view::npos;
             at = commandLine.find(option, at + 1)) {
            const bool optionQuoted = at > 0 && commandLine[at - 1] == '"';
            std::string_view value = commandLine.substr(at + option.size());
            std::size_t end;
            if (!value.empty() && value.front() == '"') {
                value.remove_prefix(1);
                end = value.find('"');
            } else {
                end = value.find(optionQuoted ? '"' : ' ');
            }
            found.push_back(value.substr(0, end));
        }
    }
    return found;
}

}  // namespace

const std::vector<ProcessFacts>& Survey::TomcatCandidates() {
    if (!candidates_) candidates_ = inspectors_.processes.Processes(IsTomcatProcessName);
    return *candidates_;
}

std::optional<ProcessFacts> Survey::Process(std::uint32_t id) {
    for (const ProcessFacts& process : TomcatCandidates())
        if (process.id == id && IsTomcatProcessName(process.exeName)) return process;
    // Any other program only holds a port when something is wrong, so the
    // costlier walk over every process happens only then.
    if (!everyProcess_) everyProcess_ = inspectors_.processes.Processes(WantEveryProcess);
    for (const ProcessFacts& process : *everyProcess_)
        if (process.id == id) return process;
    return std::nullopt;
}

const std::optional<std::vector<ServiceDescription>>& Survey::AllServices() {
    if (!services_) services_ = inspectors_.services.DescribeAll();
    return *services_;
}

std::string ShownPath(std::string_view path) {
    std::string shown(path);
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}

bool IsTomcatRunnerName(std::string_view exeName) {
    return StartsFolded(exeName, "tomcat") && EndsFolded(exeName, ".exe");
}

bool IsTomcatProcessName(std::string_view exeName) { return IsJavaName(exeName) || IsTomcatRunnerName(exeName); }

bool BelongsToInstallation(const ProcessFacts& process, const Findings& findings) {
    if (process.imagePath && (tomcat::MatchesInstallation(*process.imagePath, findings.catalinaHome) ||
                              tomcat::MatchesInstallation(*process.imagePath, findings.javaHome)))
        return true;
    if (!IsJavaName(process.exeName) || !process.commandLine || findings.catalinaHome.empty()) return false;
    const std::vector<std::string_view> directories = CatalinaDirectories(*process.commandLine);
    return std::any_of(directories.begin(), directories.end(),
                       [&](std::string_view directory) { return SameDirectory(directory, findings.catalinaHome); });
}

std::string DescribeProcess(const ProcessFacts& process) {
    std::string text = process.exeName + "（PID " + std::to_string(process.id);
    if (process.imagePath) text += "，" + *process.imagePath;
    return text + "）";
}

std::string ServiceStateText(std::uint32_t state) { return std::string(services::ServiceStateInWords(state)); }

}  // namespace qm::diagnosis

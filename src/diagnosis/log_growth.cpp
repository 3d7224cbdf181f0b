#include "diagnosis/log_growth.h"

#include <algorithm>

#include "diagnosis/checks.h"

namespace qm::diagnosis {
namespace {

constexpr std::string_view kRunnerSettingsKey = "SOFTWARE\\Apache Software Foundation\\Procrun 2.0\\";
constexpr std::string_view kRunnerDefaultLogDirectory = "%SystemRoot%\\System32\\LogFiles\\Apache";
constexpr std::string_view kRunnerLogPrefix = "commons-daemon";

// The family a file of the place belongs to; empty for none.
std::string_view FamilyOf(std::string_view name, const LogPlace& place) {
    for (const std::string& family : place.families)
        if (StartsFolded(name, family)) return family;
    return {};
}

}  // namespace

std::vector<std::string> LogFamilies(std::string_view runnerPrefix, std::string_view serviceName) {
    std::vector<std::string> families = {runnerPrefix.empty() ? std::string(kRunnerLogPrefix)
                                                              : std::string(runnerPrefix)};
    if (!serviceName.empty()) {
        families.push_back(std::string(serviceName) + "-stderr");
        families.push_back(std::string(serviceName) + "-stdout");
    }
    families.push_back("catalina");
    families.push_back("localhost");
    for (std::string& family : families) family += '.';
    return families;
}

std::string RunnerParametersKey(std::string_view service) {
    return std::string(kRunnerSettingsKey) + std::string(service) + "\\Parameters";
}

RunnerLog ReadRunnerLogAt(RegistryReader& registry, const ProcessEnvironment& environment,
                          const std::string& parametersKey, RegistryView view) {
    const std::optional<std::string> directory = registry.ReadString(parametersKey + "\\Log", "Path", view);
    return {ExpandVariables(directory ? *directory : kRunnerDefaultLogDirectory, environment),
            registry.ReadString(parametersKey + "\\Log", "Prefix", view).value_or("")};
}

RunnerLog ReadRunnerLog(RegistryReader& registry, const ProcessEnvironment& environment, std::string_view service) {
    const std::string key = RunnerParametersKey(service);
    // Both builds of the runner write the 32-bit view.
    RegistryView view = RegistryView::Wow32;
    if (!registry.KeyExists(key, view) && registry.KeyExists(key, RegistryView::Native)) view = RegistryView::Native;
    return ReadRunnerLogAt(registry, environment, key, view);
}

LogPlace LogPlaceOf(std::string_view catalinaHome, const RunnerLog& runner, std::string_view serviceName) {
    LogPlace place;
    if (!catalinaHome.empty()) place.directories.push_back(JoinPath(catalinaHome, "logs"));
    // The runner makes its directory at its first start: one not there yet is still watched.
    if (!runner.directory.empty() &&
        std::none_of(place.directories.begin(), place.directories.end(),
                     [&](const std::string& directory) { return SameDirectory(directory, runner.directory); }))
        place.directories.push_back(runner.directory);
    place.families = LogFamilies(runner.prefix, serviceName);
    place.runnerDirectory = runner.directory;
    return place;
}

LogMark MarkLogs(FileInspector& files, const LogPlace& place) {
    LogMark mark;
    for (const std::string& directory : place.directories)
        if (const auto items = files.List(directory))
            for (const DirectoryItem& item : *items)
                if (!item.directory && !FamilyOf(item.name, place).empty())
                    mark.sizes[JoinPath(directory, item.name)] = item.size;
    return mark;
}

std::vector<GrownLog> LogsSince(FileInspector& files, const LogPlace& place, const LogMark& mark, std::size_t most) {
    std::vector<GrownLog> grown;
    for (const std::string& directory : place.directories) {
        const auto items = files.List(directory);
        if (!items) continue;
        for (const DirectoryItem& item : *items) {
            const std::string_view family = FamilyOf(item.name, place);
            if (item.directory || family.empty()) continue;
            const std::string path = JoinPath(directory, item.name);
            const auto before = mark.sizes.find(path);
            // A file that shrank was begun anew.
            const std::uint64_t old = before == mark.sizes.end() || before->second > item.size ? 0 : before->second;
            if (item.size == old) continue;
            const std::uint64_t gained = item.size - old;
            const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(gained, most));
            std::optional<std::string> text = files.ReadTail(path, wanted);
            if (!text || text->empty()) continue;
            if (gained > most) text->erase(0, std::min(text->find('\n') + 1, text->size()));
            grown.push_back({path, std::string(family.substr(0, family.size() - 1)), std::move(*text)});
        }
    }
    return grown;
}

}  // namespace qm::diagnosis

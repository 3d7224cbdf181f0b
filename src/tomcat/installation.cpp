#include "tomcat/installation.h"

#include "text/ascii.h"
#include "tomcat/jar_entry.h"
#include "tomcat/paths.h"

#include <algorithm>
#include <utility>

namespace qm::tomcat {
namespace {

using text::EqualFolded;

// The version line sits below the licence header, well inside this.
constexpr std::size_t kReleaseNotesHeadBytes = 16 * 1024;
constexpr std::string_view kVersionLead = "Apache Tomcat Version ";
// catalina.jar is under 2 MB in every Tomcat from 6 to 11.
constexpr std::size_t kJarBytes = 16 * 1024 * 1024;
constexpr std::size_t kServerInfoBytes = 64 * 1024;
constexpr std::string_view kServerInfoEntry = "org/apache/catalina/util/ServerInfo.properties";
constexpr std::string_view kServerNumberKey = "server.number";
// Procrun's switch for "run as a service"; the installer registers it so.
constexpr std::string_view kRunServiceSwitch = "//RS//";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view WithoutTrailingSeparators(std::string_view path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.remove_suffix(1);
    return path;
}

// The digits at the front, as a number; nothing when there are none or too many.
std::optional<int> LeadingNumber(std::string_view text, std::size_t& used) {
    used = 0;
    int value = 0;
    while (used < text.size() && IsDigit(text[used]) && used < 6) value = value * 10 + (text[used++] - '0');
    if (used == 0 || (used < text.size() && IsDigit(text[used]))) return std::nullopt;
    return value;
}

// N of tomcat<N>.exe; nothing for any other name, the monitor tomcat<N>w.exe too.
std::optional<int> RunnerMajor(std::string_view name) {
    constexpr std::string_view kStart = "tomcat";
    constexpr std::string_view kEnd = ".exe";
    if (name.size() <= kStart.size() + kEnd.size()) return std::nullopt;
    if (!EqualFolded(name.substr(0, kStart.size()), kStart) ||
        !EqualFolded(name.substr(name.size() - kEnd.size()), kEnd))
        return std::nullopt;
    const std::string_view digits = name.substr(kStart.size(), name.size() - kStart.size() - kEnd.size());
    std::size_t used = 0;
    const std::optional<int> major = LeadingNumber(digits, used);
    if (!major || used != digits.size()) return std::nullopt;
    return major;
}

// A version as "X.Y..." begins, with what follows its numbers kept in the text.
std::optional<TomcatVersion> ParsedVersion(std::string_view text, VersionSource source) {
    std::size_t used = 0;
    const std::optional<int> major = LeadingNumber(text, used);
    if (!major || *major == 0) return std::nullopt;
    TomcatVersion version;
    version.source = source;
    version.text = std::string(text);
    version.major = *major;
    if (used < text.size() && text[used] == '.') {
        std::size_t minorUsed = 0;
        version.minor = LeadingNumber(text.substr(used + 1), minorUsed);
    }
    return version;
}

std::string_view Trimmed(std::string_view text) { return text::Trimmed(text, " \t", " \t\r"); }

TomcatVersion VersionOfRunner(std::string_view runner) {
    TomcatVersion version;
    const std::optional<int> major = RunnerMajor(runner);
    if (!major) return version;
    version.source = VersionSource::RunnerName;
    version.major = *major;
    version.text = std::to_string(*major);
    return version;
}

std::optional<TomcatVersion> VersionInJar(const std::string& jar, FileInspector& files) {
    const std::optional<std::string> bytes = files.ReadHead(jar, kJarBytes);
    const std::optional<std::string> properties =
        bytes ? JarEntry(*bytes, kServerInfoEntry, kServerInfoBytes) : std::nullopt;
    return properties ? VersionInServerInfo(*properties) : std::nullopt;
}

bool RunsAsService(const ServiceDescription& service) {
    return service.binaryPath.find(kRunServiceSwitch) != std::string::npos;
}

std::string FileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string_view DirectoryOf(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

bool RunsRunnerIn(const ServiceDescription& service, std::string_view bin) {
    return SameDirectory(DirectoryOf(ServiceProgram(service.binaryPath)), bin);
}

// The service set up to run this installation: the one that runs a runner of
// its bin, under the installer's name for that runner where several do, else
// the first the manager lists.
const ServiceDescription* ServiceOfInstallation(const std::vector<ServiceDescription>& services,
                                                std::string_view bin) {
    const ServiceDescription* found = nullptr;
    for (const ServiceDescription& service : services) {
        if (!IsTomcatService(service) || !RunsRunnerIn(service, bin)) continue;
        if (EqualFolded(service.name, DefaultServiceName(FileName(ServiceProgram(service.binaryPath)))))
            return &service;
        if (!found) found = &service;
    }
    return found;
}

// The service under name when it runs a Tomcat runner of another bin.
const ServiceDescription* ServiceOfAnotherInstallation(const std::vector<ServiceDescription>& services,
                                                       std::string_view name, std::string_view bin) {
    for (const ServiceDescription& service : services)
        if (EqualFolded(service.name, name) && RunnerMajor(FileName(ServiceProgram(service.binaryPath))) &&
            !RunsRunnerIn(service, bin))
            return &service;
    return nullptr;
}

}  // namespace

std::string RunnerName(std::string_view home, FileInspector& files) {
    const std::string bin = JoinPath(home, "bin");
    if (files.IsFile(JoinPath(bin, kTomcat6Runner))) return std::string(kTomcat6Runner);
    std::vector<std::string> runners;
    if (const auto items = files.List(bin))
        for (const DirectoryItem& item : *items)
            if (!item.directory && RunnerMajor(item.name)) runners.push_back(item.name);
    return runners.size() == 1 ? runners.front() : std::string(kTomcat6Runner);
}

std::string DefaultServiceName(std::string_view runner) {
    const std::optional<int> major = RunnerMajor(runner);
    if (!major || EqualFolded(runner, kTomcat6Runner)) return std::string(kTomcatServiceName);
    return "Tomcat" + std::to_string(*major);
}

std::string RunnerPath(std::string_view home, std::string_view runner) {
    return JoinPath(JoinPath(home, "bin"), runner);
}

std::optional<TomcatVersion> VersionInReleaseNotes(std::string_view text) {
    for (std::size_t at = text.find(kVersionLead); at != std::string_view::npos; at = text.find(kVersionLead, at + 1)) {
        std::string_view rest = text.substr(at + kVersionLead.size());
        rest = rest.substr(0, rest.find_first_of(" \t\r\n"));
        if (auto version = ParsedVersion(rest, VersionSource::ReleaseNotes)) return version;
    }
    return std::nullopt;
}

std::optional<TomcatVersion> VersionInServerInfo(std::string_view properties) {
    while (!properties.empty()) {
        const std::size_t end = properties.find('\n');
        const std::string_view line = Trimmed(properties.substr(0, end));
        properties.remove_prefix(end == std::string_view::npos ? properties.size() : end + 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || Trimmed(line.substr(0, equals)) != kServerNumberKey) continue;
        return ParsedVersion(Trimmed(line.substr(equals + 1)), VersionSource::CatalinaJar);
    }
    return std::nullopt;
}

std::optional<int> MinimumJava(const TomcatVersion& version) {
    const int minor = version.minor.value_or(0);
    switch (version.major) {
    case 6:
        return 5;
    case 7:
        return 6;
    case 8:
        return 7;
    case 9:
        return 8;
    case 10:
        return minor >= 1 ? 11 : 8;
    case 11:
        return 17;
    default:
        // A Tomcat newer than these needs at least what the newest of them does.
        return version.major > 11 ? std::optional<int>(17) : std::nullopt;
    }
}

Installation ReadRunnerAndService(std::string_view home, FileInspector& files,
                                  const std::optional<std::vector<ServiceDescription>>& services) {
    Installation installation;
    installation.home = std::string(home);
    installation.runner = std::string(kTomcat6Runner);
    installation.service = std::string(kTomcatServiceName);
    if (WithoutTrailingSeparators(home).empty()) return installation;

    const std::string bin = JoinPath(home, "bin");
    if (const ServiceDescription* own = services ? ServiceOfInstallation(*services, bin) : nullptr) {
        installation.runner = FileName(ServiceProgram(own->binaryPath));
        installation.service = own->name;
        installation.serviceRunsRunner = true;
    } else {
        installation.runner = RunnerName(home, files);
        installation.service = DefaultServiceName(installation.runner);
        if (const ServiceDescription* other =
                services ? ServiceOfAnotherInstallation(*services, installation.service, bin) : nullptr) {
            installation.otherInstallationsService = *other;
            installation.service.clear();
        }
    }
    installation.runnerExists = files.IsFile(RunnerPath(home, installation.runner));
    return installation;
}

Installation ReadInstallation(std::string_view home, FileInspector& files,
                              const std::optional<std::vector<ServiceDescription>>& services) {
    Installation installation = ReadRunnerAndService(home, files, services);
    if (WithoutTrailingSeparators(home).empty()) return installation;
    const std::string runnerPath = RunnerPath(home, installation.runner);

    const std::string notes = JoinPath(home, "RELEASE-NOTES");
    const std::optional<std::string> head = files.ReadHead(notes, kReleaseNotesHeadBytes);
    const std::string jar = JoinPath(home, "lib\\catalina.jar");
    if (auto version = head ? VersionInReleaseNotes(*head) : std::nullopt) {
        installation.version = std::move(*version);
        installation.versionFile = notes;
    } else if (auto jarVersion = VersionInJar(jar, files)) {
        installation.version = std::move(*jarVersion);
        installation.versionFile = jar;
    } else if (installation.runnerExists) {
        // A runner that is not there tells nothing: tomcat6.exe is only the fallback then.
        installation.version = VersionOfRunner(installation.runner);
        if (installation.version.source != VersionSource::Unknown) installation.versionFile = runnerPath;
    }
    return installation;
}

Installation ReadInstallation(std::string_view home, FileInspector& files, ServiceInspector& services) {
    if (WithoutTrailingSeparators(home).empty()) return ReadInstallation(home, files, std::nullopt);
    return ReadInstallation(home, files, services.DescribeAll());
}

Installation ReadRunnerAndService(std::string_view home, FileInspector& files, ServiceInspector& services) {
    if (WithoutTrailingSeparators(home).empty()) return ReadRunnerAndService(home, files, std::nullopt);
    return ReadRunnerAndService(home, files, services.DescribeAll());
}

std::string ServerXmlPath(std::string_view catalinaHome) { return std::string(catalinaHome) + "/conf/server.xml"; }

std::string ServiceProgram(std::string_view binaryPath) {
    while (!binaryPath.empty() && binaryPath.front() == ' ') binaryPath.remove_prefix(1);
    if (!binaryPath.empty() && binaryPath.front() == '"') {
        binaryPath.remove_prefix(1);
        return std::string(binaryPath.substr(0, binaryPath.find('"')));
    }
    for (std::size_t at = 0; at + 4 <= binaryPath.size(); ++at)
        if (EqualFolded(binaryPath.substr(at, 4), ".exe") && (at + 4 == binaryPath.size() || binaryPath[at + 4] == ' '))
            return std::string(binaryPath.substr(0, at + 4));
    return std::string(binaryPath.substr(0, binaryPath.find(' ')));
}

bool IsTomcatService(const ServiceDescription& service) {
    return RunnerMajor(FileName(ServiceProgram(service.binaryPath))).has_value() && RunsAsService(service);
}

}  // namespace qm::tomcat

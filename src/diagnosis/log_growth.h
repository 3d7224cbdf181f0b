#pragma once

// The installation's logs as places and families, and what they gained since
// a moment: a start's own lines, apart from what earlier runs left there.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_inspector.h"
#include "platform/process_environment.h"
#include "platform/system_inspection.h"

namespace qm::diagnosis {

// The file names of each log family begin with its name and a dot: the
// runner's own (its prefix, "commons-daemon" when its settings name none),
// the service's stderr and stdout, catalina and localhost.
std::vector<std::string> LogFamilies(std::string_view runnerPrefix, std::string_view serviceName);

// Where the service runner writes its own log, as its settings say (the
// directory expanded); the runner's default when they say nothing.
struct RunnerLog {
    std::string directory;
    std::string prefix;  // empty: the runner's default
};
RunnerLog ReadRunnerLog(RegistryReader& registry, const ProcessEnvironment& environment, std::string_view service);
// The same from the service's settings key (RunnerParametersKey) in the view
// it was found in.
RunnerLog ReadRunnerLogAt(RegistryReader& registry, const ProcessEnvironment& environment,
                          const std::string& parametersKey, RegistryView view);

// The service runner's settings key of a service, below HKEY_LOCAL_MACHINE.
std::string RunnerParametersKey(std::string_view service);

struct LogPlace {
    std::vector<std::string> directories;  // CATALINA_HOME\logs first, each once
    std::vector<std::string> families;     // as LogFamilies gives them
    std::string runnerDirectory;
};
LogPlace LogPlaceOf(std::string_view catalinaHome, const RunnerLog& runner, std::string_view serviceName);

// The size of each log file of the place at one moment.
struct LogMark {
    std::map<std::string, std::uint64_t> sizes;  // path -> bytes
};
LogMark MarkLogs(FileInspector& files, const LogPlace& place);

// What a log of the place gained since the mark: all of a file made since,
// from its first whole line when more than the last `most` bytes were written.
struct GrownLog {
    std::string path;
    std::string family;  // without its dot
    std::string text;
};
std::vector<GrownLog> LogsSince(FileInspector& files, const LogPlace& place, const LogMark& mark,
                                std::size_t most = 64 * 1024);

}  // namespace qm::diagnosis

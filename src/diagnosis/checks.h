#pragma once

// What the check groups share: the rows they add, the facts one group learns
// for a later one, and the machine facts several of them ask for, asked once.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnosis/diagnose.h"
#include "diagnosis/pe_header.h"
#include "sqlserver/instance_keys.h"
#include "text/ascii.h"
#include "tomcat/installation.h"
#include "tomcat/paths.h"

namespace qm::diagnosis {

// Adds the rows of one group.
class GroupRows {
public:
    GroupRows(std::vector<Row>& rows, Group group) : rows_(rows), group_(group) {}
    void Add(std::string item, Status status, std::string explanation, std::optional<Fix> fix = std::nullopt) {
        rows_.push_back(Row{group_, std::move(item), status, std::move(explanation), std::move(fix)});
    }

private:
    std::vector<Row>& rows_;
    Group group_;
};

// A port Tomcat binds, as server.xml gives it.
struct ServerPort {
    unsigned number = 0;
    std::string use;                       // "关闭端口" or the connector's protocol
    std::optional<std::size_t> connector;  // which Connector of the file (tomcat::Connectors); none: the shutdown port
};

// The first port above port that no listener holds, that binds freely and that
// server.xml does not name; nothing within a short search.
std::optional<unsigned> FreePortAbove(unsigned port, const std::vector<ServerPort>& named, NetworkInspector& network);

// What one check group learns that a later one needs.
struct Findings {
    std::string javaHome;      // as this process sees it
    std::string catalinaHome;  // likewise
    std::string serviceName;   // the installation's service
    // What the service manager said of that service, once a group asked it.
    std::optional<ServiceLookup> serviceLookup;
    std::optional<Bitness> jvmBitness;
    std::vector<ServerPort> ports;  // each port once, in file order
    // Where the service runner writes its own log, and that log's name up
    // to the date; empty while its settings are unknown.
    std::string serviceLogDirectory;
    std::string serviceLogPrefix;
    // The Tomcat in CATALINA_HOME, learned before any check runs, since the
    // Java checks measure Java against it.
    tomcat::Installation installation;
    // What the service runner loads, as its settings give it; empty, nothing
    // or 0 while unknown.
    std::string serviceJvm;
    std::vector<std::string> serviceOptions;
    std::optional<Bitness> runnerBitness;
    int serviceJavaMajor = 0;
};

// What a Java version means for the Tomcat of the installation.
struct JavaVersionVerdict {
    Status status = Status::Notice;
    std::string explanation;
    int major = 0;  // the feature release (8, 11, ...); 0 when unknown
};

// How much of a Java's release file is read.
inline constexpr std::size_t kReleaseFileBytes = 64 * 1024;

// The Java named by the text of a release file (nothing: there was none)
// against the Tomcat of that version, as JavaAgainstTomcat judges it.
JavaVersionVerdict JudgeJavaVersion(const std::optional<std::string>& release, const tomcat::TomcatVersion& tomcat);

// Facts that several checks look at, asked of the machine once.
class Survey {
public:
    explicit Survey(const Inspectors& inspectors) : inspectors_(inspectors) {}

    // Every process; path and command line are there for those named like
    // Tomcat's (IsTomcatProcessName).
    const std::vector<ProcessFacts>& TomcatCandidates();
    // One process with path and command line, whatever its name; nothing
    // when it is gone.
    std::optional<ProcessFacts> Process(std::uint32_t id);
    // Every service; nothing when the service manager refused the list.
    const std::optional<std::vector<ServiceDescription>>& AllServices();

private:
    const Inspectors& inspectors_;
    std::optional<std::vector<ProcessFacts>> candidates_;
    std::optional<std::vector<ProcessFacts>> everyProcess_;
    std::optional<std::optional<std::vector<ServiceDescription>>> services_;
};

// A path as the rows show it: with backslashes only, the way Windows writes
// it, whatever separators the path was put together with.
std::string ShownPath(std::string_view path);

using text::EndsFolded;
using text::EqualFolded;
using text::Lines;
using text::StartsFolded;
using tomcat::IsTomcatService;
using tomcat::JoinPath;
using tomcat::SameDirectory;
using tomcat::ServiceProgram;

// tomcat*.exe, letter case aside: the service runner and its monitor.
bool IsTomcatRunnerName(std::string_view exeName);
// A runner, java.exe or javaw.exe.
bool IsTomcatProcessName(std::string_view exeName);

// Whether a process belongs to the installation: its executable lies inside
// CATALINA_HOME or JAVA_HOME, or it is java or javaw started for
// CATALINA_HOME (-Dcatalina.home or -Dcatalina.base in its command line).
bool BelongsToInstallation(const ProcessFacts& process, const Findings& findings);

// "名称（PID 12，路径）", the path left out when unknown.
std::string DescribeProcess(const ProcessFacts& process);

// A text with each %NAME% replaced by that variable of this process; a name
// that is not set stays as written.
std::string ExpandVariables(std::string_view value, const ProcessEnvironment& environment);

// A service state in Chinese: "运行中", "已停止", ...
std::string ServiceStateText(std::uint32_t state);

// What a row says about a Java of this version (as a release file gives it:
// 1.8.0_181, 17.0.2) running the Tomcat of this version: an error below
// Tomcat's published minimum, and for Tomcat 6 on Java 9 or later, whose
// start scripts and service options pass -Djava.endorsed.dirs that these
// refuse. An unreadable Java version is a notice.
struct Verdict {
    Status status = Status::Ok;
    std::string explanation;
};
Verdict JavaAgainstTomcat(std::string_view javaVersion, const tomcat::TomcatVersion& tomcat);

// The installation's service as the service manager describes it, asked
// once per run.
const ServiceLookup& InstallationService(const Inspectors& inspectors, Findings& findings);

// Reads CATALINA_HOME and the installation there into findings.
void LearnInstallation(const Inspectors& inspectors, Survey& survey, Findings& findings);
void CheckJava(const Inspectors& inspectors, Findings& findings, std::vector<Row>& rows);
void CheckTomcat(const Inspectors& inspectors, Findings& findings, std::vector<Row>& rows);
void CheckPorts(const Inspectors& inspectors, Survey& survey, const Findings& findings, std::vector<Row>& rows);
void CheckServicesAndProcesses(const Inspectors& inspectors, Survey& survey, Findings& findings,
                               std::vector<Row>& rows);
void CheckSqlServer(const Inspectors& inspectors, std::vector<Row>& rows);

// Each JDBC URL of SQL Server the installation holds, followed to the local
// instance it names: installed and running, TCP, the port, a connection, the
// login, the driver and its DLL.
void CheckJdbcUrls(const Inspectors& inspectors, const Findings& findings, std::vector<Row>& rows);

using sqlserver::InstanceKey;
using sqlserver::InstanceKeyOf;
void CheckRights(const Inspectors& inspectors, std::vector<Row>& rows);

// The service runner's own settings of the installation's service: the JVM
// it loads, its memory, options and classpath.
void CheckServiceSettings(const Inspectors& inspectors, Findings& findings, std::vector<Row>& rows);

// The newest file of each log family in CATALINA_HOME\logs and the service's
// log directory, and the lines in their ends that tell of a failure.
void CheckLogs(const Inspectors& inspectors, const Findings& findings, std::vector<Row>& rows);

// Compares a variable of this process with the machine's environment key and
// adds a row when either has a value.
void CheckMachineValue(const Inspectors& inspectors, std::string_view variable, GroupRows& rows);

}  // namespace qm::diagnosis

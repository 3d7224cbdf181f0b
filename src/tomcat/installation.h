#pragma once

// A Tomcat installation as CATALINA_HOME holds it: which Tomcat it is, the
// program that runs it as a service, and that service's name. The Tomcat page
// and the diagnosis both read it from here, with the directory rules they share.

#include "platform/system_inspection.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::tomcat {

// What Tomcat 6 has always been run as, and what is taken when an
// installation shows nothing better.
inline constexpr std::string_view kTomcat6Runner = "tomcat6.exe";
inline constexpr std::string_view kTomcatServiceName = "tomcat6";

// Where the version was read; Unknown when nowhere.
enum class VersionSource { ReleaseNotes, CatalinaJar, RunnerName, Unknown };

struct TomcatVersion {
    VersionSource source = VersionSource::Unknown;
    std::string text;          // "9.0.85", "11.0.0-M1", "9.0.85.0" from the jar, "9" from the runner's name
    int major = 0;             // 0 when unknown
    std::optional<int> minor;  // the runner's name does not tell it
};

struct Installation {
    std::string home;  // CATALINA_HOME as given
    TomcatVersion version;
    std::string versionFile;  // the file the version was read from; empty when unknown
    std::string runner;       // file name in bin: "tomcat6.exe", "tomcat9.exe"
    bool runnerExists = false;
    // The Windows service the buttons act on for this Tomcat; empty when the
    // installer's name is taken by another installation's service.
    std::string service;
    bool serviceRunsRunner = false;  // an installed service's program is the runner
    // That other installation's service, when it is so.
    std::optional<ServiceDescription> otherInstallationsService;
};

// Reads what home holds. The service and its runner come first from the
// service list, since only an administrator sets up a service while anybody
// who may write below the installation may put files into bin: the service
// that runs a runner of home\bin as a service (IsTomcatService; of several,
// the one under its runner's DefaultServiceName, else the first listed), and
// its runner. Without one, the runner is RunnerName and the service
// DefaultServiceName, unless the service of that name runs a tomcat<N>.exe
// outside home\bin: that one belongs to another installation, and the
// installation has no service to act on. Nothing in services (the list was
// refused) leaves the default. Then the version from RELEASE-NOTES, else
// server.number in lib\catalina.jar, else from the name of a runner that is
// there. An empty home names no installation: tomcat6.exe and "tomcat6", as
// Tomcat 6 always had.
Installation ReadInstallation(std::string_view home, FileInspector& files,
                              const std::optional<std::vector<ServiceDescription>>& services);
// The same, asking the service manager for its list only when there is a home.
Installation ReadInstallation(std::string_view home, FileInspector& files, ServiceInspector& services);

// What the Tomcat page's buttons need of ReadInstallation: the runner and the
// service, without reading the version (RELEASE-NOTES, catalina.jar) at each click.
Installation ReadRunnerAndService(std::string_view home, FileInspector& files,
                                  const std::optional<std::vector<ServiceDescription>>& services);
Installation ReadRunnerAndService(std::string_view home, FileInspector& files, ServiceInspector& services);

// The runner in home\bin: tomcat6.exe when it is there, else the one
// tomcat<N>.exe (never the monitor tomcat<N>w.exe); with several or none,
// tomcat6.exe. Letter case as the directory lists it.
std::string RunnerName(std::string_view home, FileInspector& files);

// The service an installer names after the runner: "tomcat6" for
// tomcat6.exe, "Tomcat<N>" for tomcat<N>.exe.
std::string DefaultServiceName(std::string_view runner);

// home\bin\runner, one separator at each joint.
std::string RunnerPath(std::string_view home, std::string_view runner);

// "Apache Tomcat Version X.Y.Z" in RELEASE-NOTES; nothing without such a line.
std::optional<TomcatVersion> VersionInReleaseNotes(std::string_view text);

// server.number of ServerInfo.properties; nothing without it.
std::optional<TomcatVersion> VersionInServerInfo(std::string_view properties);

// The oldest Java a Tomcat runs on, by Tomcat's published requirements;
// nothing for a version older than 6 or unknown. With only the major known
// the lowest of its lines counts (10 is 10.0's Java 8, not 10.1's 11).
std::optional<int> MinimumJava(const TomcatVersion& version);

// server.xml of an installation: the directory followed directly by
// "/conf/server.xml", nothing added or removed, so a Windows directory gives
// both kinds of separator.
std::string ServerXmlPath(std::string_view catalinaHome);

// The program of a service's command line: the quoted first part, or up to
// the first ".exe" or blank.
std::string ServiceProgram(std::string_view binaryPath);

// Whether a service runs Tomcat: its program is a runner (tomcat<N>.exe,
// never the monitor tomcat<N>w.exe), started to run as a service (//RS//).
bool IsTomcatService(const ServiceDescription& service);

}  // namespace qm::tomcat

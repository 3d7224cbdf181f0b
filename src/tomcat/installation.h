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
    std::string service;             // the Windows service that runs this Tomcat
    bool serviceRunsRunner = false;  // an installed service's program is the runner
};

// Reads what home holds: the runner (RunnerName; when that is not there, the
// tomcat<N>.exe in home\bin that an installed service runs, if any); the
// version from RELEASE-NOTES, else server.number in lib\catalina.jar, else
// from the name of a runner that is there;
// and the service among services whose program is the runner, started with
// //RS//, else DefaultServiceName. Nothing in services (the list was refused)
// leaves the default. An empty home names no installation: tomcat6.exe and
// "tomcat6", as Tomcat 6 always had.
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

// A directory and the rest joined with one backslash, the directory's
// trailing separators dropped.
std::string JoinPath(std::string_view directory, std::string_view rest);

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

// Whether the executable at path lies inside the installation directory
// value: letter case aside, with \ and / alike, the value without its
// trailing separators and then a separator begins the path. An empty value
// (or one of separators only) names no installation and matches nothing, and
// neither does the root of a drive or of a share (C:\, \\server\share), which
// would take in everything on it.
bool MatchesInstallation(std::string_view path, std::string_view value);

// Whether two paths name the same file or directory: letter case, \ against
// / and trailing separators aside. Empty names nothing.
bool SameDirectory(std::string_view a, std::string_view b);

// The program of a service's command line: the quoted first part, or up to
// the first ".exe" or blank.
std::string ServiceProgram(std::string_view binaryPath);

}  // namespace qm::tomcat

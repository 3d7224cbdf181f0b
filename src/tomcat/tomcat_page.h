#pragma once

#include "platform/process_environment.h"
#include "platform/process_table.h"
#include "platform/shell.h"
#include "platform/system_inspection.h"
#include "platform/waiting.h"
#include "tomcat/notice.h"
#include "tomcat/process_shutdown.h"

#include <optional>
#include <string>
#include <string_view>

namespace qm::tomcat {

// Tomcat's compiled pages: the installation directory followed directly by
// \work\Catalina. Plain concatenation, so a value ending in a backslash gives
// a doubled one, which the shell takes as a single separator.
std::string WorkDirectoryPath(std::string_view catalinaHome);

// Where the runner lives: the installation directory and bin, with exactly
// one separator between them.
std::string ProgramDirectoryPath(std::string_view catalinaHome);

inline constexpr std::string_view kNoInstallationNotice = "未设置Tomcat安装目录(CATALINA_HOME)!";
inline constexpr std::string_view kClearedNotice = "已删除临时文件!";
inline constexpr std::string_view kClearFailedNotice = "删除临时文件失败!";
inline constexpr std::string_view kServiceStartedNotice = "Tomcat服务已启动!";
inline constexpr std::string_view kServiceStartFailedNotice = "Tomcat服务启动失败!";
inline constexpr std::string_view kStoppedNotice = "已关闭Tomcat服务!";
inline constexpr std::string_view kStopFailedNotice = "关闭Tomcat服务失败!";

// What the Tomcat page's buttons work with.
struct TomcatPorts {
    ServiceStopper& service;
    ProcessTable& processes;
    ProcessEnvironment& environment;
    Shell& shell;
    Waiting& waiting;
    // What tells which Tomcat CATALINA_HOME holds, and so which service is its
    // own; and whether a cleared directory is gone.
    FileInspector& files;
    ServiceInspector& installedServices;
};

// The runner and the service of the installation CATALINA_HOME names at
// this moment (its version is not read). Its service is empty when the
// installation has none of its own: then "以服务形式启动" starts nothing and
// fails, and the stop and the clear end only the installation's processes.
Installation CurrentInstallation(TomcatPorts ports);

// Every function below returns the text of the information box to show
// in an information box, or nothing when the button shows nothing.

// cxButton7: stops Tomcat, then deletes the work\Catalina directory of
// CATALINA_HOME as it is after the stop, with all below it, for good.
// Deletes nothing while Tomcat is still up, nor when CATALINA_HOME, work or
// Catalina is not a plain directory (a link, say); links inside Catalina are
// removed alone, never followed, and the first removal that fails ends the
// delete. Refuses without CATALINA_HOME, so nothing is ever deleted at the
// root of a drive; reports cleared only when Tomcat is down and the
// directory is gone.
std::string ClearWorkDirectory(TomcatPorts ports);

// cxButton8: starts the installation's runner (tomcat6.exe for Tomcat 6) by
// its full path, in its bin directory, and shows nothing, unless
// CATALINA_HOME is unset. Nothing starts when the runner is missing.
std::optional<std::string> StartTomcatProgram(const ProcessEnvironment& environment, FileInspector& files,
                                              ServiceInspector& installedServices, Shell& shell);

// cxButton10: stops Tomcat and says whether it is down.
std::string StopTomcat(TomcatPorts ports);

}  // namespace qm::tomcat

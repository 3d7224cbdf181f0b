#pragma once

#include "platform/broadcast.h"
#include "platform/folder_browser.h"
#include "platform/machine_environment_key.h"
#include "platform/process_environment.h"
#include "tomcat/notice.h"

#include <optional>
#include <string>
#include <string_view>

namespace qm::tomcat {

// What a change of a machine-wide variable touches, in the order it touches them.
struct EnvironmentPorts {
    MachineEnvironment& machine;
    ProcessEnvironment& process;
    EnvironmentBroadcast& broadcast;
};

// What a change says when the machine environment key may not be opened or
// written, which takes administrative rights.
inline constexpr std::string_view kNeedsAdministratorNotice = "修改失败!需要管理员权限";

// Makes value the machine-wide value of the variable name: the registry first,
// then this program's own environment, then the broadcast. Returns the text of
// the information box to show; kChangedNotice when all of it was done, and
// then only. Nothing escapes: an unexpected error becomes the box's text.
std::string SetEnvPath(EnvironmentPorts ports, std::string_view name, std::string_view value);

// One of the two "更换安装目录" buttons of the environment page.
struct DirectoryButton {
    std::string_view browserTitle;
    std::string_view variable;
};
inline constexpr DirectoryButton kJavaHomeButton{"选择 Java JDK 安装根目录", kJavaHomeVariable};
inline constexpr DirectoryButton kTomcatHomeButton{"选择 Apache Tomcat 安装根目录", kCatalinaHomeVariable};

// What the window does after a directory button: show the notice (if any)
// first, then put editText (if any) into the button's edit.
struct DirectoryChange {
    std::optional<std::string> notice;
    std::optional<std::string> editText;
};

// The click of a directory button: pick a folder, make it the variable's
// value, and show it in the edit when that was done. A cancelled browser
// changes nothing and shows nothing.
DirectoryChange ChangeInstallationDirectory(const DirectoryButton& button, FolderBrowser& browser,
                                            EnvironmentPorts ports);

}  // namespace qm::tomcat

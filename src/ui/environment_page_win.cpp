#include "ui/form1_win.h"

#include "ui/shell_win.h"
#include "platform/win32/broadcast_win.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/folder_browser_win.h"
#include "platform/win32/registry_win.h"
#include "tomcat/environment_settings.h"

// Runtime environment page: the two "更换安装目录" buttons make a picked
// directory the machine-wide JAVA_HOME or CATALINA_HOME.

namespace qm::ui {
namespace {

struct EnvironmentSystem {
    win32::MachineEnvironmentRegistry machine;
    win32::CurrentProcessEnvironment process;
    win32::WindowBroadcast broadcast;

    tomcat::EnvironmentPorts Ports() { return {machine, process, broadcast}; }
};

}  // namespace

void TForm1::cxButton11Click() { ChangeInstallationDirectory(tomcat::kJavaHomeButton, "JavaHomeEdit"); }
void TForm1::cxButton12Click() { ChangeInstallationDirectory(tomcat::kTomcatHomeButton, "TomcatHomeEdit"); }

void TForm1::ChangeInstallationDirectory(const tomcat::DirectoryButton& button, std::string_view edit) {
    win32::ShellFolderBrowser browser(OwnerWindow());
    EnvironmentSystem system;
    const tomcat::DirectoryChange change = tomcat::ChangeInstallationDirectory(button, browser, system.Ports());
    if (change.notice) ShowInformationBox(*change.notice);
    if (change.editText) SetText(edit, *change.editText);
}

}  // namespace qm::ui

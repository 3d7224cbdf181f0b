#include "tomcat/environment_settings.h"
#include "ui/controls_win.h"
#include "ui/page_controllers_win.h"
#include "ui/shell_win.h"

// The two "更换安装目录" buttons make a picked directory the machine-wide
// JAVA_HOME or CATALINA_HOME.

namespace qm::ui {

void EnvironmentPageController::Show() {
    const std::string catalinaHome = ports_.environment.Get("CATALINA_HOME");
    const std::string javaHome = ports_.environment.Get("JAVA_HOME");
    SetControlText(control_("JavaHomeEdit"), javaHome);
    SetControlText(control_("TomcatHomeEdit"), catalinaHome);
    if (!catalinaHome.empty()) writeXML(catalinaHome + "/conf/server.xml", "");
}

void EnvironmentPageController::ChangeJavaHome() {
    ChangeInstallationDirectory(tomcat::kJavaHomeButton, "JavaHomeEdit");
}

void EnvironmentPageController::ChangeTomcatHome() {
    ChangeInstallationDirectory(tomcat::kTomcatHomeButton, "TomcatHomeEdit");
}

void EnvironmentPageController::ChangeInstallationDirectory(const tomcat::DirectoryButton& button,
                                                            std::string_view edit) {
    const tomcat::DirectoryChange change =
        tomcat::ChangeInstallationDirectory(button, ports_.folderBrowser, ports_.Environment());
    if (change.notice) ShowInformationBox(*change.notice);
    if (change.editText) SetControlText(control_(edit), *change.editText);
}

}  // namespace qm::ui

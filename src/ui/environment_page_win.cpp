#include "platform/win32/file_inspector_win.h"
#include "tomcat/environment_settings.h"
#include "tomcat/installation.h"
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
    if (catalinaHome.empty()) return;
    const HWND window = window_();
    const UINT message = portReadMessage_;
    startupPort_ = tomcat::StartupPortRead::Start(
        tomcat::ServerXmlPath(catalinaHome), [] { return std::make_unique<win32::Win32FileInspector>(); },
        [window, message] { PostMessageW(window, message, 0, 0); });
}

// A port typed meanwhile is the user's: the one read at start does not
// overwrite it.
void EnvironmentPageController::PortRead() {
    const std::optional<std::string> port = startupPort_ ? startupPort_->Take() : std::nullopt;
    startupPort_.reset();
    const HWND edit = control_("TomcatPort");
    if (port && ControlText(edit).empty()) SetControlText(edit, *port);
}

void EnvironmentPageController::Close() {
    if (startupPort_) startupPort_->Close();
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

#include "tomcat/environment_settings.h"
#include "tomcat/installation.h"
#include "tomcat/server_xml_port.h"
#include "ui/application_win.h"
#include "ui/controls_win.h"
#include "ui/form1_win.h"

// The runtime environment page: the installation directories of JAVA_HOME
// and CATALINA_HOME, each changed by picking a directory, and the port of
// server.xml's HTTP/1.1 connector (server_xml_port_win.cpp).

namespace qm::ui {
namespace {

// A "更换安装目录" button makes a picked directory the machine-wide variable
// of its button and shows it in the edit box once the change was made.
void ChangeInstallationDirectory(const tomcat::DirectoryButton& button, const EnvironmentPagePorts& ports,
                                 HWND edit) {
    const tomcat::DirectoryChange change =
        tomcat::ChangeInstallationDirectory(button, ports.folderBrowser, ports.machine);
    if (change.notice) ShowInformationBox(*change.notice);
    if (change.editText) SetControlText(edit, *change.editText);
}

}  // namespace

// The two directories as the program starts, and the connector's port read
// off the window's thread through views of its own.
void TForm1::ShowInstallationDirectories() {
    const std::string catalinaHome = environment_.environment.Get("CATALINA_HOME");
    const std::string javaHome = environment_.environment.Get("JAVA_HOME");
    SetControlText(Control(ControlId::JavaHomeEdit), javaHome);
    SetControlText(Control(ControlId::TomcatHomeEdit), catalinaHome);
    if (catalinaHome.empty()) return;
    const HWND window = hwnd_;
    startupPort_ = tomcat::StartupPortRead::Start(
        [open = openMachine_, path = tomcat::ServerXmlPath(catalinaHome)] {
            const std::unique_ptr<diagnosis::Machine> machine = open();
            return tomcat::ReadConnectorPort(path, machine->View().files);
        },
        [window] { PostMessageW(window, kStartupPortMessage, 0, 0); });
}

// A port typed meanwhile is the user's: the one read at start does not
// overwrite it.
void TForm1::ShowStartupPort() {
    const std::optional<std::string> port = startupPort_ ? startupPort_->Take() : std::nullopt;
    startupPort_.reset();
    const HWND edit = Control(ControlId::TomcatPort);
    if (port && ControlText(edit).empty()) SetControlText(edit, *port);
}

void TForm1::cxButton11Click() {
    ChangeInstallationDirectory(tomcat::kJavaHomeButton, environment_, Control(ControlId::JavaHomeEdit));
}

void TForm1::cxButton12Click() {
    ChangeInstallationDirectory(tomcat::kTomcatHomeButton, environment_, Control(ControlId::TomcatHomeEdit));
}

}  // namespace qm::ui

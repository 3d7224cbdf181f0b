#include "tomcat/environment_settings.h"
#include "tomcat/installation.h"
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

// The two directories and the connector's port as the program starts.
void TForm1::ShowInstallationDirectories() {
    const std::string catalinaHome = environment_.environment.Get("CATALINA_HOME");
    const std::string javaHome = environment_.environment.Get("JAVA_HOME");
    SetControlText(Control(ControlId::JavaHomeEdit), javaHome);
    SetControlText(Control(ControlId::TomcatHomeEdit), catalinaHome);
    if (!catalinaHome.empty()) writeXML(tomcat::ServerXmlPath(catalinaHome), "");
}

void TForm1::cxButton11Click() {
    ChangeInstallationDirectory(tomcat::kJavaHomeButton, environment_, Control(ControlId::JavaHomeEdit));
}

void TForm1::cxButton12Click() {
    ChangeInstallationDirectory(tomcat::kTomcatHomeButton, environment_, Control(ControlId::TomcatHomeEdit));
}

}  // namespace qm::ui

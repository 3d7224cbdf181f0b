#include "tomcat/server_xml_port.h"
#include "ui/controls_win.h"
#include "ui/page_controllers_win.h"
#include "ui/shell_win.h"

// The connector port: the port of server.xml's HTTP/1.1 connector, shown in
// TomcatPort and changed with btn_port.

namespace qm::ui {

void EnvironmentPageController::ChangePort() {
    // The click reads the file anew; what the start's read brings later is stale.
    Close();
    const std::optional<tomcat::PortWrite> write =
        tomcat::PortWriteForClick(ControlText(control_("TomcatPort")), ControlText(control_("TomcatHomeEdit")));
    if (write) writeXML(write->path, write->newPort);
}

void EnvironmentPageController::writeXML(const std::string& path, const std::string& newPort) {
    const tomcat::ConnectorPortOutcome outcome =
        tomcat::WriteConnectorPort(path, newPort, ports_.files, ports_.replacer);
    if (outcome.saved) ShowPlainMessage(tomcat::kChangedNotice);
    if (outcome.refusedHardLink) ShowInformationBox(tomcat::kHardLinkRefusedNotice);
    if (outcome.shownPort) SetControlText(control_("TomcatPort"), *outcome.shownPort);
}

}  // namespace qm::ui

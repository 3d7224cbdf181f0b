#include "tomcat/server_xml_port.h"
#include "ui/application_win.h"
#include "ui/controls_win.h"
#include "ui/form1_win.h"

// The connector port: the port of server.xml's HTTP/1.1 connector, shown in
// TomcatPort and changed with btn_port.

namespace qm::ui {

void TForm1::btn_portClick() {
    const std::optional<tomcat::PortWrite> write = tomcat::PortWriteForClick(
        ControlText(Control(ControlId::TomcatPort)), ControlText(Control(ControlId::TomcatHomeEdit)));
    if (write) writeXML(write->path, write->newPort);
}

void TForm1::writeXML(const std::string& path, const std::string& newPort) {
    const tomcat::ConnectorPortOutcome outcome =
        tomcat::WriteConnectorPort(path, newPort, environment_.files, environment_.replacer);
    if (outcome.saved) ShowPlainMessage(tomcat::kChangedNotice);
    if (outcome.refusedHardLink) ShowInformationBox(tomcat::kHardLinkRefusedNotice);
    if (outcome.shownPort) SetControlText(Control(ControlId::TomcatPort), *outcome.shownPort);
}

}  // namespace qm::ui

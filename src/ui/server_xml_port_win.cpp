#include "ui/form1_win.h"

#include "tomcat/server_xml_port.h"
#include "ui/shell_win.h"

// Runtime environment page, connector port: the port of server.xml's HTTP/1.1
// connector, shown in TomcatPort and changed with btn_port.

namespace qm::ui {

void TForm1::btn_portClick() {
    const std::optional<tomcat::PortWrite> write =
        tomcat::PortWriteForClick(Text("TomcatPort"), Text("TomcatHomeEdit"));
    if (write) writeXML(write->path, write->newPort);
}

void TForm1::writeXML(const std::string& path, const std::string& newPort) {
    const tomcat::ConnectorPortOutcome outcome =
        tomcat::WriteConnectorPort(path, newPort, ports_.files, ports_.replacer);
    if (outcome.saved) ShowPlainMessage(tomcat::kChangedNotice);
    if (outcome.refusedHardLink) ShowInformationBox(tomcat::kHardLinkRefusedNotice);
    if (outcome.shownPort) SetText("TomcatPort", *outcome.shownPort);
}

}  // namespace qm::ui

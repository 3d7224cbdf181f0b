#include "ui/form1_win.h"

#include "app/application_win.h"
#include "platform/win32/file_system_win.h"
#include "tomcat/server_xml_port.h"
#include "xml/file_replacer.h"

// Runtime environment page, connector port: the port of server.xml's HTTP/1.1
// connector, shown in TomcatPort and changed with btn_port.

namespace qm::ui {

void TForm1::btn_portClick() {
    const std::optional<tomcat::PortWrite> write =
        tomcat::PortWriteForClick(Text("TomcatPort"), Text("TomcatHomeEdit"));
    if (write) writeXML(write->path, write->newPort);
}

void TForm1::writeXML(const std::string& path, const std::string& newPort) {
    win32::WindowsFileProbe probe;
    win32::WindowsFileSystem files;
    xml::WholeFileReplacer replacer(files);
    const tomcat::ConnectorPortOutcome outcome = tomcat::WriteConnectorPort(path, newPort, probe, replacer);
    if (outcome.saved) app::ShowPlainMessage(tomcat::kChangedNotice);
    if (outcome.refusedHardLink) app::ShowInformationBox(tomcat::kHardLinkRefusedNotice);
    if (outcome.shownPort) SetText("TomcatPort", *outcome.shownPort);
}

}  // namespace qm::ui

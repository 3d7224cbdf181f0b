#include "ui/form1_win.h"

#include "ui/shell_win.h"
#include "platform/win32/file_inspector_win.h"
#include "platform/win32/file_system_win.h"
#include "tomcat/server_xml_port.h"
#include "platform/file_replacer.h"

// Runtime environment page, connector port: the port of server.xml's HTTP/1.1
// connector, shown in TomcatPort and changed with btn_port.

namespace qm::ui {

void TForm1::btn_portClick() {
    const std::optional<tomcat::PortWrite> write =
        tomcat::PortWriteForClick(Text("TomcatPort"), Text("TomcatHomeEdit"));
    if (write) writeXML(write->path, write->newPort);
}

void TForm1::writeXML(const std::string& path, const std::string& newPort) {
    win32::Win32FileInspector reader;
    win32::WindowsFileSystem files;
    WholeFileReplacer replacer(files);
    const tomcat::ConnectorPortOutcome outcome = tomcat::WriteConnectorPort(path, newPort, reader, replacer);
    if (outcome.saved) ShowPlainMessage(tomcat::kChangedNotice);
    if (outcome.refusedHardLink) ShowInformationBox(tomcat::kHardLinkRefusedNotice);
    if (outcome.shownPort) SetText("TomcatPort", *outcome.shownPort);
}

}  // namespace qm::ui

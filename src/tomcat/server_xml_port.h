#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_inspector.h"
#include "tomcat/installation.h"
#include "xml/document.h"
#include "platform/file_replacer.h"

namespace qm::tomcat {

// The protocol of the connector whose port the window shows and changes.
inline constexpr std::string_view kHttpProtocol = "HTTP/1.1";

// The connector the window works with, and the port it has in the file.
struct HttpConnector {
    xml::XmlNodeId node{};
    std::string port;
};

// Server, then Service, then the first Connector; when that one's protocol is
// not HTTP/1.1, the nodes after it in Service until one is, each of which
// must carry both port and protocol (a comment never does). Nothing when any
// of that is missing.
std::optional<HttpConnector> FindHttpConnector(const xml::XmlDocument& document);

// Every Connector of every Service of the Server, in file order: the
// connectors Tomcat opens, as the diagnosis counts them.
std::vector<xml::XmlNodeId> Connectors(const xml::XmlDocument& document);

enum class ConnectorSave {
    Saved,
    NotAsSeen,  // the connector is gone or has another port than expected
    HardLinks,  // the file has other names: not saved (kHardLinkRefusedNotice)
    Failed,     // reason says why
};

// Sets the port of one connector (as Connectors counts them) from expected
// to newPort and saves server.xml exactly as the port page does: GB2312,
// declared so, replaced whole, links and read-only files as there.
ConnectorSave SaveConnectorPort(const std::string& path, std::size_t connector, std::string_view expected,
                                const std::string& newPort, FileInspector& files, FileReplacer& replacer,
                                std::string& reason);

// What writeXML leaves for the window to do.
struct ConnectorPortOutcome {
    bool saved = false;                    // show kChangedNotice first
    bool refusedHardLink = false;          // show kHardLinkRefusedNotice instead
    std::optional<std::string> shownPort;  // then the text of TomcatPort; nothing: keep it
};

// writeXML: reads server.xml at path and yields the HTTP/1.1 connector's port
// to show; with a newPort, writes that into the connector first and saves the
// file (GB2312, declared so). An empty newPort only reads: the declaration is
// rewritten in memory but never saved. Every failure after the file is found
// yields nothing to do, but for a server.xml with more than one name (hard
// links), which is not saved and says so; only running out of memory escapes.
ConnectorPortOutcome WriteConnectorPort(const std::string& path, const std::string& newPort, FileInspector& files,
                                        FileReplacer& replacer);

// writeXML with no new port: the HTTP/1.1 connector's port in server.xml at
// path, the file read at most up to the document's size limit. Nothing when
// the file can't be read or shows none; only running out of memory escapes.
std::optional<std::string> ReadConnectorPort(const std::string& path, FileInspector& files);

// What a click of btn_port asks of writeXML.
struct PortWrite {
    std::string path;
    std::string newPort;  // empty: only read the port again
};

// btn_portClick: nothing unless the typed port passes text::IsNumber, is at
// most text::kHighestPort and an installation directory is set. The port is written
// trimmed: Tomcat refuses one with blanks around it.
std::optional<PortWrite> PortWriteForClick(std::string_view typedPort, std::string_view catalinaHome);

}  // namespace qm::tomcat

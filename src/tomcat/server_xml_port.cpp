#include "tomcat/server_xml_port.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "text/ascii.h"
#include "text/port_number.h"
#include "xml/xml_file.h"

namespace qm::tomcat {
namespace {

using xml::XmlDocument;
using xml::XmlNodeId;

// A child is the wanted one by its qualified name or by the part after its
// prefix; below an element in a namespace it must be in the same one, however
// the URI is cased.
bool IsNamed(const XmlDocument& document, XmlNodeId parent, XmlNodeId child, std::string_view wanted) {
    if (document.NodeName(child) != wanted && document.LocalName(child) != wanted) return false;
    const std::string& parentNamespace = document.NamespaceUri(parent);
    return parentNamespace.empty() || text::EqualFolded(document.NamespaceUri(child), parentNamespace);
}

std::optional<XmlNodeId> FirstChildNamed(const XmlDocument& document, XmlNodeId parent, std::string_view wanted) {
    for (std::optional<XmlNodeId> child = document.FirstChild(parent); child; child = document.NextSibling(*child))
        if (IsNamed(document, parent, *child, wanted)) return child;
    return std::nullopt;
}

// Only the elements named so, by the part after any prefix.
std::vector<XmlNodeId> ElementsNamed(const XmlDocument& document, XmlNodeId parent, std::string_view name) {
    std::vector<XmlNodeId> found;
    for (std::optional<XmlNodeId> child = document.FirstChild(parent); child; child = document.NextSibling(*child))
        if (document.Kind(*child) == xml::XmlNodeKind::Element && document.LocalName(*child) == name)
            found.push_back(*child);
    return found;
}

}  // namespace

std::vector<XmlNodeId> Connectors(const XmlDocument& document) {
    std::vector<XmlNodeId> connectors;
    const std::vector<XmlNodeId> servers = ElementsNamed(document, document.DocumentNode(), "Server");
    if (servers.empty()) return connectors;
    for (XmlNodeId service : ElementsNamed(document, servers.front(), "Service"))
        for (XmlNodeId connector : ElementsNamed(document, service, "Connector")) connectors.push_back(connector);
    return connectors;
}

ConnectorSave SaveConnectorPort(const std::string& path, std::size_t connector, std::string_view expected,
                                const std::string& newPort, FileInspector& files, FileReplacer& replacer,
                                std::string& reason) {
    try {
        xml::LoadResult loaded = xml::LoadXmlFile(files, path);
        if (!loaded.ok()) {
            reason = loaded.error;
            return ConnectorSave::Failed;
        }
        XmlDocument& document = *loaded.document;
        document.SetGb2312Declaration();
        const std::vector<XmlNodeId> connectors = Connectors(document);
        if (connector >= connectors.size() || document.GetAttribute(connectors[connector], "port") != expected)
            return ConnectorSave::NotAsSeen;
        if (!document.SetAttribute(connectors[connector], "port", newPort, reason)) return ConnectorSave::Failed;
        switch (xml::SaveXmlFile(document, path, replacer, reason)) {
        case ReplaceOutcome::Replaced:
            return ConnectorSave::Saved;
        case ReplaceOutcome::HasOtherNames:
            return ConnectorSave::HardLinks;
        case ReplaceOutcome::Failed:
            break;
        }
        return ConnectorSave::Failed;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& error) {
        reason = error.what();
        return ConnectorSave::Failed;
    }
}

std::optional<HttpConnector> FindHttpConnector(const XmlDocument& document) {
    const std::optional<XmlNodeId> server = FirstChildNamed(document, document.DocumentNode(), "Server");
    if (!server) return std::nullopt;
    const std::optional<XmlNodeId> service = FirstChildNamed(document, *server, "Service");
    if (!service) return std::nullopt;
    std::optional<XmlNodeId> connector = FirstChildNamed(document, *service, "Connector");
    if (!connector) return std::nullopt;

    std::optional<std::string> protocol = document.GetAttribute(*connector, "protocol");
    std::optional<std::string> port = document.GetAttribute(*connector, "port");
    // Past the first connector any node counts, whatever its name; one that
    // lacks either attribute ends the search, so a comment between connectors
    // stops it. Files that Tomcat ships put the HTTP/1.1 connector first.
    while (protocol && port && *protocol != kHttpProtocol) {
        connector = document.NextSibling(*connector);
        if (!connector) return std::nullopt;
        port = document.GetAttribute(*connector, "port");
        protocol = document.GetAttribute(*connector, "protocol");
    }
    if (!protocol || !port) return std::nullopt;
    return HttpConnector{*connector, std::move(*port)};
}

ConnectorPortOutcome WriteConnectorPort(const std::string& path, const std::string& newPort, FileInspector& files,
                                        FileReplacer& replacer) {
    if (!files.IsFile(path)) return {};
    // The document reports bad input as values; what still throws is a broken
    // invariant, which stays as silent as any other failure here. Running out
    // of memory is the one error the user is told of.
    try {
        xml::LoadResult loaded = xml::LoadXmlFile(files, path);
        if (!loaded.ok()) return {};
        XmlDocument& document = *loaded.document;
        // In memory even when only reading: the file changes only on a save.
        document.SetGb2312Declaration();

        std::optional<HttpConnector> connector = FindHttpConnector(document);
        if (!connector) return {};
        ConnectorPortOutcome outcome;
        if (!newPort.empty()) {
            std::string reason;
            if (!document.SetAttribute(connector->node, "port", newPort, reason)) return {};
            const ReplaceOutcome replaced = xml::SaveXmlFile(document, path, replacer, reason);
            if (replaced != ReplaceOutcome::Replaced) {
                outcome.refusedHardLink = replaced == ReplaceOutcome::HasOtherNames;
                return outcome;
            }
            connector->port = newPort;
            outcome.saved = true;
        }
        outcome.shownPort = std::move(connector->port);
        return outcome;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return {};
    }
}

std::optional<std::string> ReadConnectorPort(const std::string& path, FileInspector& files) {
    // No look at the path first: a read that fails says the same as a path
    // that is no file, and one look fewer is one fewer that can hang.
    try {
        xml::LoadResult loaded = xml::LoadXmlFile(files, path);
        if (!loaded.ok()) return std::nullopt;
        std::optional<HttpConnector> connector = FindHttpConnector(*loaded.document);
        if (!connector) return std::nullopt;
        return std::move(connector->port);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<PortWrite> PortWriteForClick(std::string_view typedPort, std::string_view catalinaHome) {
    if (!text::IsNumber(typedPort) || catalinaHome.empty()) return std::nullopt;
    const std::string_view port = text::TrimmedOfControls(typedPort);
    if (!text::PortValue(port)) return std::nullopt;
    return PortWrite{ServerXmlPath(catalinaHome), std::string(port)};
}

}  // namespace qm::tomcat

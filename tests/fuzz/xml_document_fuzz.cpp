// Feeds arbitrary bytes to the XML document. Beyond "no crash", it checks
// what saving promises: a document that loads and saves must load again
// from what was saved, with the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "xml/document.h"

namespace {

using qm::xml::XmlDocument;
using qm::xml::XmlNodeId;

// The tree as one line of text per node, walked without recursion.
std::vector<std::string> Outline(const XmlDocument& document) {
    std::vector<std::string> lines;
    std::vector<XmlNodeId> pending{document.DocumentNode()};
    while (!pending.empty()) {
        const XmlNodeId node = pending.back();
        pending.pop_back();
        std::string line = std::to_string(static_cast<int>(document.Kind(node))) + " " +
                           std::string(document.NodeName(node)) + " " + std::string(document.LocalName(node)) + " " +
                           std::string(document.NamespaceUri(node)) + " " + std::string(document.Value(node));
        for (const std::string& name : document.AttributeNames(node))
            line += " " + name + "=" + *document.GetAttribute(node, name);
        lines.push_back(std::move(line));
        const std::vector<XmlNodeId> children = document.ChildNodes(node);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    qm::xml::LoadResult loaded = qm::xml::LoadXmlDocument(bytes);
    if (!loaded.ok()) {
        if (loaded.error.empty()) std::abort();
        return 0;
    }
    XmlDocument& document = *loaded.document;
    document.SetGb2312Declaration();
    // Change the first attribute of the root element, the way a port change does.
    for (const XmlNodeId child : document.ChildNodes(document.DocumentNode())) {
        if (document.Kind(child) != qm::xml::XmlNodeKind::Element) continue;
        // Namespace declarations are left alone: changing one renames on reload.
        std::string name = "added";
        for (const std::string& candidate : document.AttributeNames(child)) {
            if (candidate.rfind("xmlns", 0) != 0) {
                name = candidate;
                break;
            }
        }
        std::string reason;
        const std::string newValue = "<&'\"\t\r\n\xE4\xB8\xAD\xE2\x82\xAC";
        if (!document.SetAttribute(child, name, newValue, reason)) std::abort();
        if (document.GetAttribute(child, name) != newValue) std::abort();
        break;
    }
    const qm::xml::SaveResult saved = document.SaveAsGb2312();
    if (!saved.ok()) return 0;

    qm::xml::LoadResult reloaded = qm::xml::LoadXmlDocument(saved.bytes);
    if (!reloaded.ok()) std::abort();
    if (Outline(*reloaded.document) != Outline(document)) std::abort();
    return 0;
}

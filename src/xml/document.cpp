#include "xml/document.h"

#include <algorithm>

#include "text/ascii.h"
#include "xml/limits.h"
#include "xml/parser.h"
#include "xml/text_decoding.h"
#include "xml/unicode.h"

namespace qm::xml {
namespace {

std::optional<XmlNodeId> IdOrNothing(std::uint32_t index, std::uint32_t none) {
    if (index == none) return std::nullopt;
    return XmlNodeId{index};
}

}  // namespace

std::vector<XmlNodeId> XmlDocument::ChildNodes(XmlNodeId parent) const {
    std::vector<XmlNodeId> children;
    for (std::uint32_t child = NodeAt(parent).firstChild; child != kNone; child = nodes_[child].nextSibling) {
        children.push_back(XmlNodeId{child});
    }
    return children;
}

std::optional<XmlNodeId> XmlDocument::FirstChild(XmlNodeId parent) const {
    return IdOrNothing(NodeAt(parent).firstChild, kNone);
}

std::optional<XmlNodeId> XmlDocument::NextSibling(XmlNodeId node) const {
    return IdOrNothing(NodeAt(node).nextSibling, kNone);
}

std::optional<XmlNodeId> XmlDocument::Parent(XmlNodeId node) const { return IdOrNothing(NodeAt(node).parent, kNone); }

XmlNodeKind XmlDocument::Kind(XmlNodeId node) const { return NodeAt(node).kind; }

XmlText XmlDocument::NodeName(XmlNodeId node) const { return View(NodeAt(node).name); }

std::string_view XmlDocument::LocalName(XmlNodeId node) const {
    const Node& n = NodeAt(node);
    if (n.kind != XmlNodeKind::Element && n.kind != XmlNodeKind::ProcessingInstruction) return {};
    return View(n.name).substr(n.localNameStart);
}

XmlText XmlDocument::NamespaceUri(XmlNodeId node) const { return View(NodeAt(node).namespaceUri); }

XmlText XmlDocument::Value(XmlNodeId node) const { return View(NodeAt(node).value); }

XmlText XmlDocument::View(TextRef text) const {
    switch (text.store) {
    case kSource:
        return XmlText(source_.data() + text.offset, text.length);
    case kResolved:
        return XmlText(resolved_.data() + text.offset, text.length);
    case kSet:
        return std::string_view(setTexts_[text.offset]);
    default:
        return kFixedTexts[text.offset];
    }
}

XmlDocument::TextRef XmlDocument::KeepSetText(std::string_view text) {
    setTexts_.emplace_back(text);
    TextRef ref;
    ref.offset = static_cast<std::uint32_t>(setTexts_.size() - 1);
    ref.store = kSet;
    return ref;
}

const XmlDocument::Attribute* XmlDocument::FindAttribute(XmlNodeId element, std::string_view name) const {
    const Node& node = NodeAt(element);
    for (std::uint32_t i = node.firstAttribute; i < node.firstAttribute + node.attributeCount; ++i) {
        if (View(attributes_[i].name) == name) return &attributes_[i];
    }
    return nullptr;
}

bool XmlDocument::HasAttribute(XmlNodeId element, std::string_view name) const {
    return FindAttribute(element, name) != nullptr;
}

std::optional<std::string> XmlDocument::GetAttribute(XmlNodeId element, std::string_view name) const {
    const Attribute* attribute = FindAttribute(element, name);
    if (attribute == nullptr) return std::nullopt;
    return View(attribute->value);
}

std::vector<std::string> XmlDocument::AttributeNames(XmlNodeId element) const {
    std::vector<std::string> names;
    const Node& node = NodeAt(element);
    for (std::uint32_t i = node.firstAttribute; i < node.firstAttribute + node.attributeCount; ++i) {
        names.push_back(View(attributes_[i].name));
    }
    return names;
}

bool XmlDocument::SetAttribute(XmlNodeId element, std::string_view name, std::string_view value, std::string& reason) {
    const std::uint32_t id = static_cast<std::uint32_t>(element);
    if (nodes_.at(id).kind != XmlNodeKind::Element) {
        reason = "attributes can only be set on elements";
        return false;
    }
    std::size_t badOffset = 0;
    if (!IsXmlText(value, badOffset)) {
        reason = "the new value of " + std::string(name) + " holds a character XML does not allow";
        return false;
    }
    Attribute* found = const_cast<Attribute*>(FindAttribute(element, name));
    if (found == nullptr) {
        const std::size_t colon = name.find(':');
        if (!IsXmlName(name) || name.find(':', colon + 1) != std::string_view::npos || colon == 0 ||
            (colon != std::string_view::npos && colon + 1 == name.size()) || name.substr(0, 5) == "xmlns") {
            reason = "\"" + std::string(name) + "\" cannot be added as an attribute name";
            return false;
        }
        if (colon != std::string_view::npos) {
            // Resolving a new prefix would need the scopes of the whole parse.
            reason = "adding a prefixed attribute is not supported";
            return false;
        }
        Node& node = nodes_[id];
        // The element's attributes stay one run; unless they end the list, the
        // run moves to its end first.
        if (node.firstAttribute + node.attributeCount != attributes_.size()) {
            const std::uint32_t moved = static_cast<std::uint32_t>(attributes_.size());
            for (std::uint32_t i = 0; i < node.attributeCount; ++i) {
                attributes_.push_back(attributes_[node.firstAttribute + i]);
            }
            node.firstAttribute = moved;
        }
        Attribute added;
        added.name = KeepSetText(name);
        added.valueBegin = added.valueEnd = node.rawBegin;
        added.added = true;
        attributes_.push_back(added);
        ++node.attributeCount;
        found = &attributes_.back();
    }
    found->value = KeepSetText(value);
    found->changed = true;
    if (std::find(changedElements_.begin(), changedElements_.end(), id) == changedElements_.end()) {
        changedElements_.push_back(id);
    }
    return true;
}

void XmlDocument::SetGb2312Declaration() {
    std::string text = "version=\"1.0\" encoding=\"GB2312\"";
    if (sourceStandalone_) text += " standalone=\"" + *sourceStandalone_ + "\"";
    const std::uint32_t first = nodes_[0].firstChild;
    // Only the declaration can be a processing instruction named "xml".
    if (first != kNone && nodes_[first].kind == XmlNodeKind::ProcessingInstruction &&
        View(nodes_[first].name) == "xml") {
        nodes_[first].value = KeepSetText(text);
    } else {
        const std::uint32_t id = static_cast<std::uint32_t>(nodes_.size());
        Node declaration;
        declaration.kind = XmlNodeKind::ProcessingInstruction;
        declaration.parent = 0;
        declaration.name = Fixed(kXmlName);
        declaration.value = KeepSetText(text);
        declaration.nextSibling = first;
        nodes_.push_back(declaration);
        nodes_[0].firstChild = id;
        if (first == kNone) nodes_[0].lastChild = id;
    }
    declarationChanged_ = true;
}

bool XmlDocument::DeclarationNamesGb2312() const {
    return declarationChanged_ || text::EqualFolded(sourceDeclaredEncoding_, "GB2312");
}

std::uint32_t XmlDocument::AppendNode(XmlNodeKind kind, std::uint32_t parent) {
    const std::uint32_t id = static_cast<std::uint32_t>(nodes_.size());
    Node& node = nodes_.emplace_back();
    node.kind = kind;
    node.parent = parent;
    if (parent != kNone) {
        Node& p = nodes_[parent];
        if (p.lastChild == kNone) {
            p.firstChild = id;
        } else {
            nodes_[p.lastChild].nextSibling = id;
        }
        p.lastChild = id;
    }
    return id;
}

std::vector<XmlDocument::Span> XmlDocument::ReferenceSpans() const {
    std::vector<Span> spans;
    for (const Attribute& attribute : attributes_) {
        if (!attribute.added) spans.push_back({attribute.valueBegin, attribute.valueEnd});
    }
    for (const Node& node : nodes_) {
        if (node.kind == XmlNodeKind::Text) spans.push_back({node.rawBegin, node.rawEnd});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    return spans;
}

LoadResult LoadXmlDocument(std::string_view bytes) {
    LoadResult result;
    if (bytes.size() > kMaxDocumentBytes) {
        result.error = "the file is larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MB";
        return result;
    }
    DecodedText decoded = DecodeXmlBytes(bytes);
    if (!decoded.error.empty()) {
        result.error = std::move(decoded.error);
        return result;
    }
    return ParseXmlDocument(std::move(decoded.utf8), std::move(decoded.encodingName));
}

}  // namespace qm::xml

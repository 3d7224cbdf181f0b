#include "xml/document.h"

#include <algorithm>

#include "xml/limits.h"
#include "xml/parser.h"
#include "xml/text_decoding.h"
#include "xml/unicode.h"

namespace qm::xml {
namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

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

std::optional<XmlNodeId> XmlDocument::Parent(XmlNodeId node) const {
  return IdOrNothing(NodeAt(node).parent, kNone);
}

XmlNodeKind XmlDocument::Kind(XmlNodeId node) const { return NodeAt(node).kind; }

const std::string& XmlDocument::NodeName(XmlNodeId node) const { return NodeAt(node).name; }

std::string_view XmlDocument::LocalName(XmlNodeId node) const {
  const Node& n = NodeAt(node);
  if (n.kind != XmlNodeKind::Element && n.kind != XmlNodeKind::ProcessingInstruction) return {};
  return std::string_view(n.name).substr(n.localNameStart);
}

const std::string& XmlDocument::NamespaceUri(XmlNodeId node) const { return NodeAt(node).namespaceUri; }

const std::string& XmlDocument::Value(XmlNodeId node) const { return NodeAt(node).value; }

const XmlDocument::Attribute* XmlDocument::FindAttribute(XmlNodeId element, std::string_view name) const {
  for (const Attribute& attribute : NodeAt(element).attributes) {
    if (attribute.name == name) return &attribute;
  }
  return nullptr;
}

bool XmlDocument::HasAttribute(XmlNodeId element, std::string_view name) const {
  return FindAttribute(element, name) != nullptr;
}

std::optional<std::string> XmlDocument::GetAttribute(XmlNodeId element, std::string_view name) const {
  const Attribute* attribute = FindAttribute(element, name);
  if (attribute == nullptr) return std::nullopt;
  return attribute->value;
}

std::vector<std::string> XmlDocument::AttributeNames(XmlNodeId element) const {
  std::vector<std::string> names;
  for (const Attribute& attribute : NodeAt(element).attributes) names.push_back(attribute.name);
  return names;
}

bool XmlDocument::SetAttribute(XmlNodeId element, std::string_view name, std::string_view value,
                               std::string& reason) {
  Node& node = nodes_.at(static_cast<std::uint32_t>(element));
  if (node.kind != XmlNodeKind::Element) {
    reason = "attributes can only be set on elements";
    return false;
  }
  std::size_t badOffset = 0;
  if (!IsXmlText(value, badOffset)) {
    reason = "the new value of " + std::string(name) + " holds a character XML does not allow";
    return false;
  }
  auto found = std::find_if(node.attributes.begin(), node.attributes.end(),
                            [&](const Attribute& a) { return a.name == name; });
  if (found == node.attributes.end()) {
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
    Attribute added;
    added.name = std::string(name);
    added.valueBegin = added.valueEnd = node.attributeInsertOffset;
    added.added = true;
    node.attributes.push_back(std::move(added));
    found = node.attributes.end() - 1;
  }
  found->value = std::string(value);
  found->changed = true;
  return true;
}

void XmlDocument::SetGb2312Declaration() {
  std::string text = "version=\"1.0\" encoding=\"GB2312\"";
  if (sourceStandalone_) text += " standalone=\"" + *sourceStandalone_ + "\"";
  const std::uint32_t first = nodes_[0].firstChild;
  // Only the declaration can be a processing instruction named "xml".
  if (first != kNone && nodes_[first].kind == XmlNodeKind::ProcessingInstruction && nodes_[first].name == "xml") {
    nodes_[first].value = std::move(text);
  } else {
    const std::uint32_t id = static_cast<std::uint32_t>(nodes_.size());
    Node declaration;
    declaration.kind = XmlNodeKind::ProcessingInstruction;
    declaration.parent = 0;
    declaration.name = "xml";
    declaration.value = std::move(text);
    declaration.nextSibling = first;
    nodes_.push_back(std::move(declaration));
    nodes_[0].firstChild = id;
    if (first == kNone) nodes_[0].lastChild = id;
  }
  declarationChanged_ = true;
}

bool XmlDocument::DeclarationNamesGb2312() const {
  return declarationChanged_ || EqualsIgnoringAsciiCase(sourceDeclaredEncoding_, "GB2312");
}

std::uint32_t XmlDocument::AppendNode(XmlNodeKind kind, std::uint32_t parent) {
  const std::uint32_t id = static_cast<std::uint32_t>(nodes_.size());
  Node node;
  node.kind = kind;
  node.parent = parent;
  nodes_.push_back(std::move(node));
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

#include "xml/parser.h"

#include <algorithm>
#include <utility>

#include "xml/limits.h"
#include "xml/references.h"
#include "xml/unicode.h"

namespace qm::xml {
namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

bool IsWhitespaceOnly(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return IsXmlSpace(c); });
}

// A qualified name has at most one colon, with a name on either side.
bool IsQualifiedName(std::string_view name) {
  const std::size_t colon = name.find(':');
  if (colon == std::string_view::npos) return true;
  if (colon == 0 || colon + 1 == name.size() || name.find(':', colon + 1) != std::string_view::npos) return false;
  char32_t first = 0;
  return DecodeUtf8At(name, colon + 1, first) != 0 && IsNameStartChar(first);
}

}  // namespace

LoadResult ParseXmlDocument(std::string utf8Source, std::string sourceEncoding) {
  LoadResult result;
  XmlDocument document;
  document.source_ = std::move(utf8Source);
  document.sourceEncoding_ = std::move(sourceEncoding);
  document.AppendNode(XmlNodeKind::Document, XmlDocument::kNone);
  document.nodes_[0].name = "#document";
  XmlParser parser(document);
  if (!parser.Parse(result.error)) return result;
  result.document = std::move(document);
  return result;
}

bool XmlParser::Fail(std::size_t offset, std::string message) {
  offset = std::min(offset, src_.size());
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (src_[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(src_[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  error_ = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + std::move(message);
  return false;
}

std::uint32_t XmlParser::CurrentParent() const { return open_.empty() ? 0 : open_.back().node; }

bool XmlParser::SkipSpace() {
  const std::size_t start = pos_;
  while (pos_ < src_.size() && IsXmlSpace(src_[pos_])) ++pos_;
  return pos_ != start;
}

std::size_t XmlParser::ScanName(std::size_t from) const {
  std::size_t p = from;
  while (p < src_.size()) {
    char32_t cp = static_cast<unsigned char>(src_[p]);
    std::size_t length = 1;
    if (cp >= 0x80) length = DecodeUtf8At(src_, p, cp);
    if (length == 0 || (p == from ? !IsNameStartChar(cp) : !IsNameChar(cp))) break;
    p += length;
  }
  return p - from;
}

bool XmlParser::ExpectQuoted(std::size_t& begin, std::size_t& end) {
  if (pos_ >= src_.size() || (src_[pos_] != '"' && src_[pos_] != '\'')) return Fail(pos_, "expected a quoted value");
  const std::size_t close = src_.find(src_[pos_], pos_ + 1);
  if (close == std::string::npos) return Fail(pos_, "unterminated quoted value");
  begin = pos_ + 1;
  end = close;
  pos_ = close + 1;
  return true;
}

bool XmlParser::Parse(std::string& error) {
  const bool ok = [&] {
    if (At("<?xml") && src_.size() > 5 && IsXmlSpace(src_[5]) && !ParseDeclaration()) return false;
    while (pos_ < src_.size()) {
      bool step = false;
      if (src_[pos_] != '<') {
        step = ParseText();
      } else if (At("</")) {
        step = ParseEndTag();
      } else if (At("<?")) {
        step = ParseProcessingInstruction(true);
      } else if (At("<!--")) {
        step = ParseComment(true);
      } else if (At("<![CDATA[")) {
        step = ParseCData();
      } else if (At("<!DOCTYPE")) {
        step = ParseDoctype();
      } else if (At("<!")) {
        step = Fail(pos_, "unknown markup declaration");
      } else {
        step = ParseStartTag();
      }
      if (!step) return false;
    }
    if (!seenRoot_) return Fail(pos_, "the document has no root element");
    if (!open_.empty()) {
      return Fail(pos_, "element <" + doc_.nodes_[open_.back().node].name + "> is not closed");
    }
    return true;
  }();
  if (!ok) error = error_;
  return ok;
}

bool XmlParser::ParseText() {
  const std::size_t begin = pos_;
  const std::size_t lt = src_.find('<', pos_);
  const std::size_t end = lt == std::string::npos ? src_.size() : lt;
  const std::string_view raw(src_.data() + begin, end - begin);
  pos_ = end;
  if (open_.empty()) {
    if (IsWhitespaceOnly(raw)) return true;
    return Fail(begin, "text outside the root element");
  }
  const std::size_t cdataEnd = raw.find("]]>");
  if (cdataEnd != std::string_view::npos) return Fail(begin + cdataEnd, "']]>' in text");
  std::string value;
  ReferenceError referenceError;
  if (!ResolveCharacterData(raw, CharacterDataKind::Text, declaredEntities_, value, referenceError)) {
    return Fail(begin + referenceError.offset, referenceError.message);
  }
  if (IsWhitespaceOnly(value)) return true;
  doc_.referenceSpans_.push_back({begin, end});
  const std::uint32_t node = doc_.AppendNode(XmlNodeKind::Text, CurrentParent());
  doc_.nodes_[node].name = "#text";
  doc_.nodes_[node].value = std::move(value);
  return true;
}

bool XmlParser::ReadAttributes(std::vector<RawAttribute>& attributes, bool& selfClosing) {
  while (true) {
    const bool spaced = SkipSpace();
    if (pos_ >= src_.size()) return Fail(pos_, "unterminated start tag");
    if (src_[pos_] == '>' || At("/>")) {
      selfClosing = src_[pos_] == '/';
      return true;
    }
    if (!spaced) return Fail(pos_, "expected whitespace before an attribute");
    const std::size_t nameLength = ScanName(pos_);
    if (nameLength == 0) return Fail(pos_, "invalid attribute name");
    RawAttribute attribute;
    attribute.name = src_.substr(pos_, nameLength);
    pos_ += nameLength;
    SkipSpace();
    if (pos_ >= src_.size() || src_[pos_] != '=') return Fail(pos_, "expected '=' after attribute " + attribute.name);
    ++pos_;
    SkipSpace();
    attribute.quote = pos_ < src_.size() ? src_[pos_] : '"';
    if (!ExpectQuoted(attribute.valueBegin, attribute.valueEnd)) return false;
    const std::string_view value(src_.data() + attribute.valueBegin, attribute.valueEnd - attribute.valueBegin);
    const std::size_t lt = value.find('<');
    if (lt != std::string_view::npos) {
      return Fail(attribute.valueBegin + lt, "'<' in the value of attribute " + attribute.name);
    }
    if (attributes.size() >= kMaxAttributesPerElement) return Fail(pos_, "too many attributes on one element");
    attributes.push_back(std::move(attribute));
  }
}

bool XmlParser::ParseStartTag() {
  const std::size_t tagOffset = pos_;
  if (seenRoot_ && open_.empty()) return Fail(pos_, "a second root element");
  if (open_.size() >= kMaxNestingDepth) {
    return Fail(pos_, "elements nested deeper than " + std::to_string(kMaxNestingDepth) + " levels");
  }
  const std::size_t nameLength = ScanName(pos_ + 1);
  if (nameLength == 0) return Fail(pos_ + 1, "invalid element name");
  std::string name = src_.substr(pos_ + 1, nameLength);
  pos_ += 1 + nameLength;

  std::vector<RawAttribute> raw;
  bool selfClosing = false;
  if (!ReadAttributes(raw, selfClosing)) return false;
  // A new attribute goes right after the last one, before any blanks.
  const std::size_t insertOffset = raw.empty() ? tagOffset + 1 + nameLength : raw.back().valueEnd + 1;
  pos_ += selfClosing ? 2 : 1;

  const std::size_t bindingMark = bindingLog_.size();
  if (!BindNamespaces(raw, tagOffset)) return false;

  const std::uint32_t node = doc_.AppendNode(XmlNodeKind::Element, CurrentParent());
  {
    XmlDocument::Node& element = doc_.nodes_[node];
    if (!ResolveName(name, false, tagOffset + 1, element.localNameStart, element.namespaceUri)) return false;
    element.name = std::move(name);
    element.attributeInsertOffset = insertOffset;
  }
  std::vector<XmlDocument::Attribute> attributes(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    XmlDocument::Attribute& attribute = attributes[i];
    if (!ResolveName(raw[i].name, true, raw[i].valueBegin, attribute.localNameStart, attribute.namespaceUri)) {
      return false;
    }
    ReferenceError referenceError;
    const std::string_view rawValue(src_.data() + raw[i].valueBegin, raw[i].valueEnd - raw[i].valueBegin);
    if (!ResolveCharacterData(rawValue, CharacterDataKind::AttributeValue, declaredEntities_, attribute.value,
                              referenceError)) {
      return Fail(raw[i].valueBegin + referenceError.offset, referenceError.message);
    }
    attribute.name = std::move(raw[i].name);
    attribute.valueBegin = raw[i].valueBegin;
    attribute.valueEnd = raw[i].valueEnd;
    attribute.quote = raw[i].quote;
    doc_.referenceSpans_.push_back({attribute.valueBegin, attribute.valueEnd});
  }

  // Both the written names and the names they stand for must be unique;
  // sorting keeps an element with thousands of attributes cheap.
  std::vector<std::pair<std::string_view, std::string_view>> written, expanded;
  for (const XmlDocument::Attribute& a : attributes) {
    written.emplace_back(a.name, std::string_view());
    if (!a.namespaceUri.empty()) {
      expanded.emplace_back(a.namespaceUri, std::string_view(a.name).substr(a.localNameStart));
    }
  }
  for (auto* list : {&written, &expanded}) {
    std::sort(list->begin(), list->end());
    const auto twin = std::adjacent_find(list->begin(), list->end());
    if (twin != list->end()) {
      return Fail(tagOffset, "attribute " + std::string(twin->second.empty() ? twin->first : twin->second) +
                                 " appears twice on <" + doc_.nodes_[node].name + ">");
    }
  }
  doc_.nodes_[node].attributes = std::move(attributes);
  seenRoot_ = true;
  if (selfClosing) {
    UnbindTo(bindingMark);
  } else {
    open_.push_back({node, bindingMark});
  }
  return true;
}

bool XmlParser::ParseEndTag() {
  const std::size_t tagOffset = pos_;
  const std::size_t nameLength = ScanName(pos_ + 2);
  if (nameLength == 0) return Fail(pos_ + 2, "invalid name in end tag");
  const std::string_view name(src_.data() + pos_ + 2, nameLength);
  pos_ += 2 + nameLength;
  SkipSpace();
  if (pos_ >= src_.size() || src_[pos_] != '>') return Fail(pos_, "expected '>' to close the end tag");
  ++pos_;
  if (open_.empty()) return Fail(tagOffset, "end tag </" + std::string(name) + "> without a start tag");
  const std::string& open = doc_.nodes_[open_.back().node].name;
  if (open != name) return Fail(tagOffset, "end tag </" + std::string(name) + "> does not match <" + open + ">");
  UnbindTo(open_.back().bindingMark);
  open_.pop_back();
  return true;
}

bool XmlParser::BindNamespaces(const std::vector<RawAttribute>& attributes, std::size_t tagOffset) {
  for (const RawAttribute& attribute : attributes) {
    const std::string_view name = attribute.name;
    if (name != "xmlns" && name.substr(0, 6) != "xmlns:") continue;
    const std::string prefix = name == "xmlns" ? std::string() : std::string(name.substr(6));
    std::string uri;
    ReferenceError referenceError;
    const std::string_view rawValue(src_.data() + attribute.valueBegin, attribute.valueEnd - attribute.valueBegin);
    if (!ResolveCharacterData(rawValue, CharacterDataKind::AttributeValue, declaredEntities_, uri, referenceError)) {
      return Fail(attribute.valueBegin + referenceError.offset, referenceError.message);
    }
    if (!IsQualifiedName(name) || prefix == "xmlns" || (prefix == "xml") != (uri == kXmlNamespace) ||
        uri == kXmlnsNamespace || (!prefix.empty() && uri.empty())) {
      return Fail(tagOffset, "illegal namespace declaration " + attribute.name + "=\"" + uri + "\"");
    }
    bindings_[prefix].push_back(std::move(uri));
    bindingLog_.push_back(prefix);
  }
  return true;
}

bool XmlParser::ResolveName(std::string_view name, bool isAttribute, std::size_t offset, std::uint32_t& localStart,
                            std::string& uri) {
  if (!IsQualifiedName(name)) return Fail(offset, "\"" + std::string(name) + "\" is not a qualified name");
  const std::size_t colon = name.find(':');
  const std::string prefix = colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon));
  localStart = colon == std::string_view::npos ? 0 : static_cast<std::uint32_t>(colon + 1);
  if (isAttribute && (name == "xmlns" || prefix == "xmlns")) {
    uri = std::string(kXmlnsNamespace);
    return true;
  }
  if (prefix == "xml") {
    uri = std::string(kXmlNamespace);
    return true;
  }
  // Unprefixed attributes are in no namespace, whatever the default.
  if (isAttribute && prefix.empty()) return true;
  const auto bound = bindings_.find(prefix);
  if (bound != bindings_.end() && !bound->second.empty()) {
    uri = bound->second.back();
    return true;
  }
  if (prefix.empty()) return true;
  return Fail(offset, "namespace prefix " + prefix + " is not declared");
}

void XmlParser::UnbindTo(std::size_t mark) {
  while (bindingLog_.size() > mark) {
    bindings_[bindingLog_.back()].pop_back();
    bindingLog_.pop_back();
  }
}

}  // namespace qm::xml

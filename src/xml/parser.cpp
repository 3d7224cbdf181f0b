#include "xml/parser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "xml/limits.h"
#include "xml/unicode.h"

namespace qm::xml {
namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

// The byte tables below lean on src_ ending in the '\0' of its std::string:
// no table lets '\0' through, and the decoded text cannot hold one, so the
// scans stop at the end without counting.

// Bytes in names: which may start one, which may continue one. Bytes from
// 0x80 on are decoded and their code points asked about.
// The colon continues a name too, but stops the fast loop, so that the scan
// can tell prefixed names.
constexpr std::uint8_t kStartsName = 1;
constexpr std::uint8_t kContinuesName = 2;
constexpr std::array<std::uint8_t, 256> kNameBytes = [] {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 128; ++c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        if (letter) table[c] = kStartsName | kContinuesName;
        if ((c >= '0' && c <= '9') || c == '-' || c == '.') table[c] = kContinuesName;
    }
    table[':'] = kStartsName;
    return table;
}();

// Bytes that end the plain run of an attribute value: either quote, '<',
// what resolving rewrites, and the end.
constexpr std::array<bool, 256> kAttributeValueMarks = [] {
    std::array<bool, 256> table{};
    for (const char c : {'"', '\'', '<', '&', '\t', '\n', '\r', '\0'}) table[static_cast<unsigned char>(c)] = true;
    return table;
}();

// What a byte of text says about the text: gathered over the whole run up
// to the next '<' (or the end).
constexpr std::uint8_t kTextNotBlank = 1;
constexpr std::uint8_t kTextCarriageReturn = 2;
constexpr std::uint8_t kTextReference = 4;
constexpr std::uint8_t kTextBracket = 8;
constexpr std::uint8_t kTextEnd = 16;
constexpr std::array<std::uint8_t, 256> kTextBytes = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(kTextNotBlank);
    table[' '] = table['\t'] = table['\n'] = 0;
    table['\r'] = kTextCarriageReturn;
    table['&'] = kTextNotBlank | kTextReference;
    table[']'] = kTextNotBlank | kTextBracket;
    table['<'] = table['\0'] = kTextEnd;
    return table;
}();

bool IsSpaceByte(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

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
    // Room for what a typical file holds per byte, so that the tables are not
    // copied over and over while they grow; more is still fine.
    document.nodes_.reserve(document.source_.size() / 32 + 4);
    document.attributes_.reserve(document.source_.size() / 16 + 4);
    document.AppendNode(XmlNodeKind::Document, XmlDocument::kNone);
    document.nodes_[0].name = XmlDocument::Fixed(XmlDocument::kDocumentName);
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
    const char* const text = src_.c_str();
    const std::size_t start = pos_;
    while (IsSpaceByte(text[pos_])) ++pos_;
    return pos_ != start;
}

std::size_t XmlParser::ScanName(std::size_t from) const {
    bool colon = false;
    return ScanName(from, colon);
}

std::size_t XmlParser::ScanName(std::size_t from, bool& colon) const {
    if (from >= src_.size()) return 0;
    // ASCII names without a colon, the usual kind, in one short loop.
    const char* const text = src_.c_str();
    if ((kNameBytes[static_cast<unsigned char>(text[from])] & kContinuesName) != 0 &&
        (kNameBytes[static_cast<unsigned char>(text[from])] & kStartsName) != 0) {
        std::size_t p = from + 1;
        while (kNameBytes[static_cast<unsigned char>(text[p])] & kContinuesName) ++p;
        if (text[p] != ':' && static_cast<unsigned char>(text[p]) < 0x80) return p - from;
    }
    return ScanAnyName(from, colon);
}

std::size_t XmlParser::ScanAnyName(std::size_t from, bool& colon) const {
    const char* const text = src_.c_str();
    std::size_t p = from;
    if (kNameBytes[static_cast<unsigned char>(text[p])] & kStartsName) {
        colon = text[p] == ':';
        ++p;
    } else {
        char32_t cp = 0;
        const std::size_t length = static_cast<unsigned char>(text[p]) < 0x80 ? 0 : DecodeUtf8At(src_, p, cp);
        if (length == 0 || !IsNameStartChar(cp)) return 0;
        p += length;
    }
    while (true) {
        while (kNameBytes[static_cast<unsigned char>(text[p])] & kContinuesName) ++p;
        if (text[p] == ':') {
            colon = true;
            ++p;
            continue;
        }
        if (static_cast<unsigned char>(text[p]) < 0x80) break;
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8At(src_, p, cp);
        if (length == 0 || !IsNameChar(cp)) break;
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

XmlDocument::TextRef XmlParser::SourceText(std::size_t begin, std::size_t end) const {
    TextRef text;
    text.offset = static_cast<std::uint32_t>(begin);
    text.length = static_cast<std::uint32_t>(end - begin);
    text.store = XmlDocument::kSource;
    return text;
}

XmlDocument::TextRef XmlParser::ResolvedSince(std::size_t mark) const {
    TextRef text;
    text.offset = static_cast<std::uint32_t>(mark);
    text.length = static_cast<std::uint32_t>(doc_.resolved_.size() - mark);
    text.store = XmlDocument::kResolved;
    return text;
}

bool XmlParser::Resolve(std::size_t begin, std::size_t end, CharacterDataKind kind, TextRef& text) {
    const std::size_t mark = doc_.resolved_.size();
    ReferenceError referenceError;
    const std::string_view raw(src_.data() + begin, end - begin);
    if (!ResolveCharacterData(raw, kind, declaredEntities_, doc_.resolved_, referenceError)) {
        return Fail(begin + referenceError.offset, referenceError.message);
    }
    text = ResolvedSince(mark);
    return true;
}

XmlDocument::TextRef XmlParser::LineEndsNormalized(std::size_t begin, std::size_t end) {
    if (std::memchr(src_.data() + begin, '\r', end - begin) == nullptr) return SourceText(begin, end);
    const std::size_t mark = doc_.resolved_.size();
    AppendNormalizedLineEnds(std::string_view(src_.data() + begin, end - begin), doc_.resolved_);
    return ResolvedSince(mark);
}

bool XmlParser::Parse(std::string& error) {
    const bool ok = [&] {
        if (At("<?xml") && src_.size() > 5 && IsXmlSpace(src_[5]) && !ParseDeclaration()) return false;
        const std::size_t size = src_.size();
        while (pos_ < size) {
            bool step = false;
            const char next = pos_ + 1 < size ? src_[pos_ + 1] : '\0';
            if (src_[pos_] != '<') {
                // Blanks between tags, most of the text there is, are never a node.
                const std::size_t begin = pos_;
                if (SkipSpace() && (pos_ >= size || src_[pos_] == '<')) continue;
                pos_ = begin;
                step = ParseText();
            } else if (next == '/') {
                step = ParseEndTag();
            } else if (next == '?') {
                step = ParseProcessingInstruction(true);
            } else if (next != '!') {
                step = ParseStartTag();
            } else if (At("<!--")) {
                step = ParseComment(true);
            } else if (At("<![CDATA[")) {
                step = ParseCData();
            } else if (At("<!DOCTYPE")) {
                step = ParseDoctype();
            } else {
                step = Fail(pos_, "unknown markup declaration");
            }
            if (!step) return false;
        }
        if (!seenRoot_) return Fail(pos_, "the document has no root element");
        if (!open_.empty()) {
            return Fail(pos_,
                        "element <" + std::string(doc_.View(doc_.nodes_[open_.back().node].name)) + "> is not closed");
        }
        return true;
    }();
    if (!ok) error = error_;
    return ok;
}

bool XmlParser::ParseText() {
    const std::size_t begin = pos_;
    const char* const text = src_.c_str();
    std::uint8_t seen = 0;
    std::size_t end = begin;
    for (std::uint8_t kind; ((kind = kTextBytes[static_cast<unsigned char>(text[end])]) & kTextEnd) == 0; ++end) {
        seen |= kind;
    }
    pos_ = end;
    const bool blank = (seen & kTextNotBlank) == 0;
    if (open_.empty()) {
        if (blank) return true;
        return Fail(begin, "text outside the root element");
    }
    if (seen & kTextBracket) {
        const std::size_t cdataEnd = std::string_view(text + begin, end - begin).find("]]>");
        if (cdataEnd != std::string_view::npos) return Fail(begin + cdataEnd, "']]>' in text");
    }
    if (blank) return true;
    TextRef value;
    if (seen & kTextReference) {
        const std::size_t mark = doc_.resolved_.size();
        if (!Resolve(begin, end, CharacterDataKind::Text, value)) return false;
        if (IsWhitespaceOnly(doc_.View(value))) {
            doc_.resolved_.resize(mark);
            return true;
        }
    } else {
        value = (seen & kTextCarriageReturn) ? LineEndsNormalized(begin, end) : SourceText(begin, end);
    }
    const std::uint32_t node = doc_.AppendNode(XmlNodeKind::Text, CurrentParent());
    XmlDocument::Node& textNode = doc_.nodes_[node];
    textNode.name = XmlDocument::Fixed(XmlDocument::kTextName);
    textNode.value = value;
    textNode.rawBegin = static_cast<std::uint32_t>(begin);
    textNode.rawEnd = static_cast<std::uint32_t>(end);
    return true;
}

bool XmlParser::ReadAttributes(bool& selfClosing) {
    raw_.clear();
    declaresNamespaces_ = false;
    const char* const text = src_.c_str();
    const std::size_t size = src_.size();
    while (true) {
        const bool spaced = SkipSpace();
        if (pos_ >= size) return Fail(pos_, "unterminated start tag");
        if (text[pos_] == '>' || (text[pos_] == '/' && text[pos_ + 1] == '>')) {
            selfClosing = text[pos_] == '/';
            return true;
        }
        if (!spaced) return Fail(pos_, "expected whitespace before an attribute");
        bool colon = false;
        const std::size_t nameLength = ScanName(pos_, colon);
        if (nameLength == 0) return Fail(pos_, "invalid attribute name");
        const std::string_view name(text + pos_, nameLength);
        pos_ += nameLength;
        SkipSpace();
        if (pos_ >= size || text[pos_] != '=') return Fail(pos_, "expected '=' after attribute " + std::string(name));
        ++pos_;
        SkipSpace();
        if (pos_ >= size || (text[pos_] != '"' && text[pos_] != '\'')) return Fail(pos_, "expected a quoted value");
        const char quote = text[pos_];
        const std::size_t valueBegin = pos_ + 1;
        std::size_t close = valueBegin;
        std::size_t lt = std::string::npos;
        bool plain = true;
        for (;; ++close) {
            while (!kAttributeValueMarks[static_cast<unsigned char>(text[close])]) ++close;
            if (close >= size || text[close] == quote) break;
            if (text[close] == '<') {
                if (lt == std::string::npos) lt = close;
            } else if (text[close] != '"' && text[close] != '\'') {
                plain = false;
            }
        }
        if (close >= size) return Fail(pos_, "unterminated quoted value");
        if (lt != std::string::npos) return Fail(lt, "'<' in the value of attribute " + std::string(name));
        pos_ = close + 1;
        if (raw_.size() >= kMaxAttributesPerElement) return Fail(pos_, "too many attributes on one element");
        const bool xmlns = name[0] == 'x' && name.substr(0, 5) == "xmlns";
        declaresNamespaces_ = declaresNamespaces_ || xmlns;
        const bool plainName = !xmlns && !colon;
        raw_.push_back({name, valueBegin, close, quote, plain, plainName});
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
    const std::string_view name(src_.data() + pos_ + 1, nameLength);
    pos_ += 1 + nameLength;

    bool selfClosing = false;
    if (!ReadAttributes(selfClosing)) return false;
    // A new attribute goes right after the last one, before any blanks.
    const std::size_t insertOffset = raw_.empty() ? tagOffset + 1 + nameLength : raw_.back().valueEnd + 1;
    pos_ += selfClosing ? 2 : 1;

    const std::size_t bindingMark = bindingLog_.size();
    if (declaresNamespaces_ && !BindNamespaces(tagOffset)) return false;

    const std::uint32_t node = doc_.AppendNode(XmlNodeKind::Element, CurrentParent());
    {
        XmlDocument::Node& element = doc_.nodes_[node];
        if (!ResolveName(name, false, tagOffset + 1, element.localNameStart, element.namespaceUri)) return false;
        element.name = SourceText(tagOffset + 1, tagOffset + 1 + nameLength);
        element.rawBegin = static_cast<std::uint32_t>(insertOffset);
        element.firstAttribute = static_cast<std::uint32_t>(doc_.attributes_.size());
        element.attributeCount = static_cast<std::uint32_t>(raw_.size());
    }
    for (const RawAttribute& raw : raw_) {
        std::uint32_t localStart = 0;
        TextRef uri;
        if (!raw.plainName && !ResolveName(raw.name, true, raw.valueBegin, localStart, uri)) return false;
        XmlDocument::Attribute attribute;
        const std::size_t nameBegin = static_cast<std::size_t>(raw.name.data() - src_.data());
        attribute.name = SourceText(nameBegin, nameBegin + raw.name.size());
        if (raw.plain) {
            attribute.value = SourceText(raw.valueBegin, raw.valueEnd);
        } else if (!Resolve(raw.valueBegin, raw.valueEnd, CharacterDataKind::AttributeValue, attribute.value)) {
            return false;
        }
        attribute.valueBegin = static_cast<std::uint32_t>(raw.valueBegin);
        attribute.valueEnd = static_cast<std::uint32_t>(raw.valueEnd);
        attribute.quote = raw.quote;
        doc_.attributes_.push_back(attribute);
    }
    if (!CheckUniqueAttributes(node, tagOffset)) return false;
    seenRoot_ = true;
    if (selfClosing) {
        UnbindTo(bindingMark);
    } else {
        open_.push_back({node, bindingMark, name});
    }
    return true;
}

bool XmlParser::CheckUniqueAttributes(std::uint32_t element, std::size_t tagOffset) {
    // The usual tag has a few plain attributes: compare those pairwise.
    constexpr std::size_t kFew = 16;
    bool simple = raw_.size() <= kFew;
    for (std::size_t i = 0; simple && i < raw_.size(); ++i) {
        simple = raw_[i].plainName;
        for (std::size_t j = 0; simple && j < i; ++j) simple = raw_[i].name != raw_[j].name;
    }
    if (simple) return true;

    // Both the written names and the names they stand for must be unique;
    // sorting keeps an element with thousands of attributes cheap.
    std::vector<std::pair<std::string_view, std::string_view>> written, expanded;
    for (const RawAttribute& raw : raw_) {
        const std::string_view a = raw.name;
        written.emplace_back(a, std::string_view());
        std::uint32_t localStart = 0;
        TextRef uri;
        ResolveName(a, true, 0, localStart, uri);
        const std::string_view uriText = doc_.View(uri);
        if (!uriText.empty()) expanded.emplace_back(uriText, a.substr(localStart));
    }
    for (auto* list : {&written, &expanded}) {
        std::sort(list->begin(), list->end());
        const auto twin = std::adjacent_find(list->begin(), list->end());
        if (twin != list->end()) {
            return Fail(tagOffset, "attribute " + std::string(twin->second.empty() ? twin->first : twin->second) +
                                       " appears twice on <" + std::string(doc_.View(doc_.nodes_[element].name)) + ">");
        }
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
    const std::string_view open = open_.back().name;
    if (open != name) {
        return Fail(tagOffset, "end tag </" + std::string(name) + "> does not match <" + std::string(open) + ">");
    }
    UnbindTo(open_.back().bindingMark);
    open_.pop_back();
    return true;
}

bool XmlParser::BindNamespaces(std::size_t tagOffset) {
    for (const RawAttribute& attribute : raw_) {
        const std::string_view name = attribute.name;
        if (name != "xmlns" && name.substr(0, 6) != "xmlns:") continue;
        const std::string prefix = name == "xmlns" ? std::string() : std::string(name.substr(6));
        TextRef uri;
        if (attribute.plain) {
            uri = SourceText(attribute.valueBegin, attribute.valueEnd);
        } else if (!Resolve(attribute.valueBegin, attribute.valueEnd, CharacterDataKind::AttributeValue, uri)) {
            return false;
        }
        const std::string_view uriText = doc_.View(uri);
        if (!IsQualifiedName(name) || prefix == "xmlns" || (prefix == "xml") != (uriText == kXmlNamespace) ||
            uriText == kXmlnsNamespace || (!prefix.empty() && uriText.empty())) {
            return Fail(tagOffset,
                        "illegal namespace declaration " + std::string(name) + "=\"" + std::string(uriText) + "\"");
        }
        bindings_[prefix].push_back(uri);
        bindingLog_.push_back(prefix);
    }
    return true;
}

bool XmlParser::ResolveName(std::string_view name, bool isAttribute, std::size_t offset, std::uint32_t& localStart,
                            TextRef& uri) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) {
        localStart = 0;
        // Unprefixed attributes are in no namespace, whatever the default.
        if (isAttribute) {
            if (name == "xmlns") uri = XmlDocument::Fixed(XmlDocument::kXmlnsNamespace);
            return true;
        }
        if (bindingLog_.empty()) return true;
    } else if (!IsQualifiedName(name)) {
        return Fail(offset, "\"" + std::string(name) + "\" is not a qualified name");
    }
    const std::string prefix = colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon));
    localStart = colon == std::string_view::npos ? 0 : static_cast<std::uint32_t>(colon + 1);
    if (isAttribute && prefix == "xmlns") {
        uri = XmlDocument::Fixed(XmlDocument::kXmlnsNamespace);
        return true;
    }
    if (prefix == "xml") {
        uri = XmlDocument::Fixed(XmlDocument::kXmlNamespace);
        return true;
    }
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

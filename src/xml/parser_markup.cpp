// The parts of the parser for everything that is not an element or text:
// the declaration, the DOCTYPE, comments, processing instructions, CDATA.
#include <algorithm>

#include "text/ascii.h"
#include "xml/parser.h"
#include "xml/references.h"
#include "xml/unicode.h"

namespace qm::xml {
namespace {

bool IsEncodingName(std::string_view name) {
    if (name.empty()) return false;
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!letter(name[0])) return false;
    return std::all_of(name.begin() + 1, name.end(),
                       [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-'; });
}

bool IsVersionNumber(std::string_view version) {
    return version.size() > 2 && version.substr(0, 2) == "1." &&
           std::all_of(version.begin() + 2, version.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool XmlParser::ParseDeclaration() {
    // Pseudo-attributes come in a fixed order: version, encoding, standalone.
    pos_ = 5;
    std::string version, encoding, standalone;
    bool hasEncoding = false, hasStandalone = false;
    const char* const names[] = {"version", "encoding", "standalone"};
    std::size_t next = 0;
    while (true) {
        const bool spaced = SkipSpace();
        if (At("?>")) break;
        if (!spaced) return Fail(pos_, "expected whitespace in the XML declaration");
        const std::size_t nameLength = ScanName(pos_);
        const std::string name = src_.substr(pos_, nameLength);
        while (next < 3 && name != names[next]) ++next;
        if (next == 3 || nameLength == 0) return Fail(pos_, "unexpected item in the XML declaration");
        pos_ += nameLength;
        SkipSpace();
        if (!At("=")) return Fail(pos_, "expected '=' in the XML declaration");
        ++pos_;
        SkipSpace();
        std::size_t begin = 0, end = 0;
        if (!ExpectQuoted(begin, end)) return false;
        const std::string value = src_.substr(begin, end - begin);
        if (next == 0) {
            version = value;
        } else if (next == 1) {
            encoding = value;
            hasEncoding = true;
        } else {
            standalone = value;
            hasStandalone = true;
        }
        ++next;
    }
    if (!IsVersionNumber(version)) return Fail(0, "the XML declaration needs a version 1.x");
    if (hasEncoding && !IsEncodingName(encoding)) return Fail(0, "invalid encoding name in the XML declaration");
    if (hasStandalone && standalone != "yes" && standalone != "no") {
        return Fail(0, "standalone must be \"yes\" or \"no\"");
    }
    const std::size_t textEnd = pos_;
    pos_ += 2;
    std::size_t textBegin = 5;
    while (textBegin < textEnd && IsXmlSpace(src_[textBegin])) ++textBegin;
    std::size_t trimmedEnd = textEnd;
    while (trimmedEnd > textBegin && IsXmlSpace(src_[trimmedEnd - 1])) --trimmedEnd;

    const std::uint32_t node = doc_.AppendNode(XmlNodeKind::ProcessingInstruction, 0);
    doc_.nodes_[node].name = XmlDocument::Fixed(XmlDocument::kXmlName);
    doc_.nodes_[node].value = SourceText(textBegin, trimmedEnd);
    doc_.sourceDeclaration_ = XmlDocument::Span{0, pos_};
    doc_.sourceDeclaredEncoding_ = encoding;
    if (hasStandalone) doc_.sourceStandalone_ = standalone;
    return true;
}

bool XmlParser::ParseDoctype() {
    const std::size_t start = pos_;
    if (seenRoot_) return Fail(pos_, "DOCTYPE after the root element");
    if (seenDoctype_) return Fail(pos_, "a second DOCTYPE");
    seenDoctype_ = true;
    pos_ += 9;
    if (!SkipSpace()) return Fail(pos_, "expected whitespace after DOCTYPE");
    const std::size_t nameLength = ScanName(pos_);
    if (nameLength == 0) return Fail(pos_, "invalid name in DOCTYPE");
    pos_ += nameLength;
    const bool spaced = SkipSpace();
    const bool isSystem = At("SYSTEM");
    if (spaced && (isSystem || At("PUBLIC"))) {
        pos_ += 6;
        std::size_t begin = 0, end = 0;
        if (!SkipSpace()) return Fail(pos_, "expected whitespace in the DOCTYPE's external id");
        if (!ExpectQuoted(begin, end)) return false;
        if (!isSystem) {
            if (!SkipSpace()) return Fail(pos_, "expected the system literal of the DOCTYPE");
            if (!ExpectQuoted(begin, end)) return false;
        }
        SkipSpace();
    }
    if (At("[")) {
        ++pos_;
        if (!SkipInternalSubset()) return false;
        SkipSpace();
    }
    if (!At(">")) return Fail(pos_ < src_.size() ? pos_ : start, "malformed DOCTYPE");
    ++pos_;
    return true;
}

bool XmlParser::SkipInternalSubset() {
    // Skipped with the lexical rules only: what matters is finding its end
    // without being fooled by '>' or ']' inside literals and comments, and
    // knowing which entity names were declared, for a clearer error later.
    while (true) {
        SkipSpace();
        if (pos_ >= src_.size()) return Fail(pos_, "unterminated DOCTYPE internal subset");
        if (src_[pos_] == ']') {
            ++pos_;
            return true;
        }
        if (src_[pos_] == '%') {
            const std::size_t nameLength = ScanName(pos_ + 1);
            if (nameLength == 0 || src_.compare(pos_ + 1 + nameLength, 1, ";") != 0) {
                return Fail(pos_, "malformed parameter entity reference");
            }
            pos_ += nameLength + 2;
        } else if (At("<!--")) {
            if (!ParseComment(false)) return false;
        } else if (At("<?")) {
            if (!ParseProcessingInstruction(false)) return false;
        } else if (At("<!")) {
            const std::size_t declaration = pos_;
            if (At("<!ENTITY")) {
                pos_ += 8;
                if (SkipSpace() && pos_ < src_.size() && src_[pos_] != '%') {
                    declaredEntities_.insert(src_.substr(pos_, ScanName(pos_)));
                }
            }
            while (pos_ < src_.size() && src_[pos_] != '>') {
                if (src_[pos_] == '"' || src_[pos_] == '\'') {
                    std::size_t begin = 0, end = 0;
                    if (!ExpectQuoted(begin, end)) return false;
                } else if (src_[pos_] == '<' && pos_ != declaration) {
                    return Fail(pos_, "'<' inside a markup declaration");
                } else {
                    ++pos_;
                }
            }
            if (pos_ >= src_.size()) return Fail(declaration, "unterminated markup declaration");
            ++pos_;
        } else {
            return Fail(pos_, "unexpected text in the DOCTYPE internal subset");
        }
    }
}

bool XmlParser::ParseComment(bool makeNode) {
    const std::size_t begin = pos_ + 4;
    const std::size_t dashes = src_.find("--", begin);
    if (dashes == std::string::npos) return Fail(pos_, "unterminated comment");
    if (src_.compare(dashes + 2, 1, ">") != 0) return Fail(dashes, "'--' inside a comment");
    pos_ = dashes + 3;
    if (!makeNode) return true;
    const std::uint32_t node = doc_.AppendNode(XmlNodeKind::Comment, CurrentParent());
    doc_.nodes_[node].name = XmlDocument::Fixed(XmlDocument::kCommentName);
    doc_.nodes_[node].value = LineEndsNormalized(begin, dashes);
    return true;
}

bool XmlParser::ParseProcessingInstruction(bool makeNode) {
    const std::size_t start = pos_;
    const std::size_t nameLength = ScanName(pos_ + 2);
    if (nameLength == 0) return Fail(pos_ + 2, "invalid processing instruction target");
    const std::string_view target(src_.data() + pos_ + 2, nameLength);
    if (nameLength == 3 && text::EqualFolded(target, "xml")) {
        return Fail(pos_, "an XML declaration is only allowed at the very start");
    }
    if (target.find(':') != std::string_view::npos) return Fail(pos_ + 2, "':' in a processing instruction target");
    pos_ += 2 + nameLength;
    const std::size_t close = src_.find("?>", pos_);
    if (close == std::string::npos) return Fail(start, "unterminated processing instruction");
    if (close != pos_ && !SkipSpace()) return Fail(pos_, "expected whitespace after the processing instruction target");
    const std::size_t dataBegin = std::min(pos_, close);
    pos_ = close + 2;
    if (!makeNode) return true;
    const std::uint32_t node = doc_.AppendNode(XmlNodeKind::ProcessingInstruction, CurrentParent());
    doc_.nodes_[node].name = SourceText(start + 2, start + 2 + nameLength);
    doc_.nodes_[node].value = LineEndsNormalized(dataBegin, close);
    return true;
}

bool XmlParser::ParseCData() {
    if (open_.empty()) return Fail(pos_, "CDATA section outside the root element");
    const std::size_t begin = pos_ + 9;
    const std::size_t end = src_.find("]]>", begin);
    if (end == std::string::npos) return Fail(pos_, "unterminated CDATA section");
    pos_ = end + 3;
    const std::uint32_t node = doc_.AppendNode(XmlNodeKind::CData, CurrentParent());
    doc_.nodes_[node].name = XmlDocument::Fixed(XmlDocument::kCDataName);
    doc_.nodes_[node].value = LineEndsNormalized(begin, end);
    return true;
}

}  // namespace qm::xml

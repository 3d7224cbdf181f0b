// Saving: the decoded source with the changed texts spliced in, encoded in
// GB2312. Splicing instead of serialising the tree is what keeps the
// user's comments, layout, quotes and line ends exactly as they were.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>

#include "xml/document.h"
#include "text/gb_codec.h"
#include "xml/unicode.h"

namespace qm::xml {
namespace {

struct Splice {
    std::size_t begin;
    std::size_t end;
    std::string text;
    // Attribute values may take character references; the declaration and
    // names may not.
    bool referencesAllowed;
};

std::string EscapeAttributeValue(std::string_view value, char quote) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '"':
            out += quote == '"' ? "&quot;" : "\"";
            break;
        case '\'':
            out += quote == '\'' ? "&apos;" : "'";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The length of the run of ASCII bytes text starts with, eight at a time.
std::size_t AsciiPrefixLength(std::string_view text) {
    std::size_t n = 0;
    for (; n + 8 <= text.size(); n += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + n, 8);
        if ((word & 0x8080808080808080u) != 0) break;
    }
    while (n < text.size() && static_cast<unsigned char>(text[n]) < 0x80) ++n;
    return n;
}

class Gb2312Writer {
public:
    // referencesAllowedAt tells, for an offset into source, whether a
    // character reference may stand there; it is asked only for characters
    // that GB2312 cannot write.
    Gb2312Writer(std::string_view source, std::function<bool(std::size_t)> referencesAllowedAt)
        : source_(source), referencesAllowedAt_(std::move(referencesAllowedAt)) {
        out_.reserve(source.size() + source.size() / 8 + 64);
    }

    // Copies source_[from, to).
    bool WriteSource(std::size_t from, std::size_t to, std::string& reason) {
        return Write(source_.substr(from, to - from), from, std::nullopt, reason);
    }

    // A text that replaces source_ at where.
    bool WriteSpliced(std::string_view utf8, bool referencesAllowed, std::size_t where, std::string& reason) {
        return Write(utf8, where, referencesAllowed, reason);
    }

    std::string Take() { return std::move(out_); }

private:
    // where is the source offset the text came from or replaces. With
    // referencesAllowed unset the text is source_ itself, and its offsets
    // decide.
    bool Write(std::string_view utf8, std::size_t where, std::optional<bool> referencesAllowed, std::string& reason) {
        std::size_t pos = 0;
        while (pos < utf8.size()) {
            const std::size_t ascii = AsciiPrefixLength(utf8.substr(pos));
            out_.append(utf8.data() + pos, ascii);
            pos += ascii;
            if (pos == utf8.size()) break;
            char32_t cp = 0;
            const std::size_t length = DecodeUtf8At(utf8, pos, cp);
            if (length == 0) {
                reason = "internal error: the text is not UTF-8";
                return false;
            }
            if (const std::optional<std::uint16_t> code = text::Gb2312CodeFor(cp)) {
                out_ += static_cast<char>(*code >> 8);
                out_ += static_cast<char>(*code & 0xFF);
            } else if (referencesAllowed ? *referencesAllowed : referencesAllowedAt_(where + pos)) {
                out_ += "&#x" + Hex(cp) + ";";
            } else {
                reason = "U+" + Hex(cp) + " on line " + std::to_string(LineOf(where + pos)) +
                         " cannot be written in GB2312 outside attribute values and text";
                return false;
            }
            pos += length;
        }
        return true;
    }

    static std::string Hex(char32_t cp) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(cp));
        return buffer;
    }
    std::size_t LineOf(std::size_t offset) const {
        offset = std::min(offset, source_.size());
        return 1 + static_cast<std::size_t>(
                       std::count(source_.begin(), source_.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    }

    std::string_view source_;
    std::function<bool(std::size_t)> referencesAllowedAt_;
    std::string out_;
};

}  // namespace

std::string XmlDocument::LineEnding() const {
    const std::size_t end = source_.find_first_of("\r\n");
    if (end == std::string::npos) return "\r\n";
    if (source_[end] == '\n') return "\n";
    return source_.compare(end, 2, "\r\n") == 0 ? "\r\n" : "\r";
}

SaveResult XmlDocument::SaveAsGb2312() const {
    SaveResult result;
    if (!DeclarationNamesGb2312()) {
        result.error = "the declaration does not name GB2312; set it before saving";
        return result;
    }
    std::vector<Splice> splices;
    if (declarationChanged_) {
        const std::uint32_t first = nodes_[0].firstChild;
        std::string text = "<?xml " + std::string(View(nodes_[first].value)) + "?>";
        if (sourceDeclaration_) {
            splices.push_back({sourceDeclaration_->begin, sourceDeclaration_->end, std::move(text), false});
        } else {
            splices.push_back({0, 0, text + LineEnding(), false});
        }
    }
    for (const std::uint32_t element : changedElements_) {
        const Node& node = nodes_[element];
        for (std::uint32_t i = node.firstAttribute; i < node.firstAttribute + node.attributeCount; ++i) {
            const Attribute& attribute = attributes_[i];
            if (!attribute.changed) continue;
            std::string value = EscapeAttributeValue(View(attribute.value), attribute.quote);
            if (attribute.added) {
                splices.push_back({attribute.valueBegin, attribute.valueBegin,
                                   " " + std::string(View(attribute.name)) + "=\"", false});
                splices.push_back({attribute.valueBegin, attribute.valueBegin, std::move(value), true});
                splices.push_back({attribute.valueBegin, attribute.valueBegin, "\"", false});
            } else {
                splices.push_back({attribute.valueBegin, attribute.valueEnd, std::move(value), true});
            }
        }
    }
    std::stable_sort(splices.begin(), splices.end(),
                     [](const Splice& a, const Splice& b) { return a.begin < b.begin; });

    // The spans are gathered only when a character needs a reference, which
    // in a file that was GB2312 already never happens.
    std::optional<std::vector<Span>> spans;
    Gb2312Writer writer(source_, [&](std::size_t offset) {
        if (!spans) spans = ReferenceSpans();
        const auto after = std::upper_bound(spans->begin(), spans->end(), offset,
                                            [](std::size_t o, const Span& span) { return o < span.begin; });
        return after != spans->begin() && offset < std::prev(after)->end;
    });
    std::size_t cursor = 0;
    for (const Splice& splice : splices) {
        if (cursor < splice.begin && !writer.WriteSource(cursor, splice.begin, result.error)) return result;
        if (!writer.WriteSpliced(splice.text, splice.referencesAllowed, splice.begin, result.error)) return result;
        cursor = std::max(cursor, splice.end);
    }
    if (!writer.WriteSource(cursor, source_.size(), result.error)) return result;
    result.bytes = writer.Take();
    return result;
}

}  // namespace qm::xml

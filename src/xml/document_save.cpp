// Saving: the decoded source with the changed texts spliced in, encoded in
// GB2312. Splicing instead of serialising the tree is what keeps the
// user's comments, layout, quotes and line ends exactly as they were.
#include <algorithm>
#include <cstdio>

#include "xml/document.h"
#include "xml/gb_codec.h"
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
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      case '"': out += quote == '"' ? "&quot;" : "\""; break;
      case '\'': out += quote == '\'' ? "&apos;" : "'"; break;
      default: out += c;
    }
  }
  return out;
}

class Gb2312Writer {
 public:
  explicit Gb2312Writer(std::string_view source) : source_(source) {}

  // where is the source offset the text came from or replaces, for the
  // reason of a refusal.
  bool Write(std::string_view utf8, bool referencesAllowed, std::size_t where, std::string& reason) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
      const unsigned char c = static_cast<unsigned char>(utf8[pos]);
      if (c < 0x80) {
        out_ += static_cast<char>(c);
        ++pos;
        continue;
      }
      char32_t cp = 0;
      const std::size_t length = DecodeUtf8At(utf8, pos, cp);
      if (length == 0) {
        reason = "internal error: the text is not UTF-8";
        return false;
      }
      if (const std::optional<std::uint16_t> code = Gb2312CodeFor(cp)) {
        out_ += static_cast<char>(*code >> 8);
        out_ += static_cast<char>(*code & 0xFF);
      } else if (referencesAllowed) {
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

  std::string Take() { return std::move(out_); }

 private:
  static std::string Hex(char32_t cp) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(cp));
    return buffer;
  }
  std::size_t LineOf(std::size_t offset) const {
    offset = std::min(offset, source_.size());
    return 1 + static_cast<std::size_t>(std::count(source_.begin(), source_.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
  }

  std::string_view source_;
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
    std::string text = "<?xml " + nodes_[first].value + "?>";
    if (sourceDeclaration_) {
      splices.push_back({sourceDeclaration_->begin, sourceDeclaration_->end, std::move(text), false});
    } else {
      splices.push_back({0, 0, text + LineEnding(), false});
    }
  }
  for (const Node& node : nodes_) {
    for (const Attribute& attribute : node.attributes) {
      if (!attribute.changed) continue;
      std::string value = EscapeAttributeValue(attribute.value, attribute.quote);
      if (attribute.added) {
        splices.push_back({attribute.valueBegin, attribute.valueBegin, " " + attribute.name + "=\"", false});
        splices.push_back({attribute.valueBegin, attribute.valueBegin, std::move(value), true});
        splices.push_back({attribute.valueBegin, attribute.valueBegin, "\"", false});
      } else {
        splices.push_back({attribute.valueBegin, attribute.valueEnd, std::move(value), true});
      }
    }
  }
  std::stable_sort(splices.begin(), splices.end(),
                   [](const Splice& a, const Splice& b) { return a.begin < b.begin; });

  Gb2312Writer writer(source_);
  std::size_t nextSpan = 0;
  // Copies source_[from, to), allowing references only inside the spans
  // recorded by the parser. Offsets only grow, so the span cursor does too.
  const auto copySource = [&](std::size_t from, std::size_t to) {
    while (from < to) {
      while (nextSpan < referenceSpans_.size() && referenceSpans_[nextSpan].end <= from) ++nextSpan;
      std::size_t stop = to;
      bool inside = false;
      if (nextSpan < referenceSpans_.size()) {
        const Span& span = referenceSpans_[nextSpan];
        inside = span.begin <= from;
        stop = std::min(to, inside ? span.end : span.begin);
      }
      const std::string_view piece(source_.data() + from, stop - from);
      if (!writer.Write(piece, inside, from, result.error)) return false;
      from = stop;
    }
    return true;
  };
  std::size_t cursor = 0;
  for (const Splice& splice : splices) {
    if (!copySource(cursor, splice.begin)) return result;
    if (!writer.Write(splice.text, splice.referencesAllowed, splice.begin, result.error)) return result;
    cursor = std::max(cursor, splice.end);
  }
  if (!copySource(cursor, source_.size())) return result;
  result.bytes = writer.Take();
  return result;
}

}  // namespace qm::xml

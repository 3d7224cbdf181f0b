// The XML character classes, over the UTF-8 that every text of the document
// is; shared by the decoders, the parser and the GB2312 writer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/utf8.h"

namespace qm::xml {

using text::AppendUtf8;
using text::DecodeUtf8At;

// The Char production of XML 1.0: what a document may contain at all.
bool IsXmlChar(char32_t codePoint);
bool IsNameStartChar(char32_t codePoint);
bool IsNameChar(char32_t codePoint);

inline bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Whether text is a Name of XML 1.0 (colons allowed; namespace rules are
// checked separately).
bool IsXmlName(std::string_view text);

// Checks that text is well-formed UTF-8 of XML characters only. On failure
// offset is the byte offset of the first bad character.
bool IsXmlText(std::string_view text, std::size_t& offset);

}  // namespace qm::xml

// UTF-8 and the XML character classes. Inside the document every text is
// UTF-8; these helpers are shared by the decoders, the parser and the
// GB2312 writer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm::xml {

void AppendUtf8(std::string& out, char32_t codePoint);

// Reads the code point that starts at text[pos]. Returns its length in bytes,
// or 0 when the bytes there are not well-formed UTF-8 (overlong forms,
// surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8At(std::string_view text, std::size_t pos, char32_t& codePoint);

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

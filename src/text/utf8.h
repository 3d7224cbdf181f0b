// UTF-8, the program's own text form: writing a code point and reading one
// back with every malformed form refused.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm::text {

void AppendUtf8(std::string& out, char32_t codePoint);

// Reads the code point that starts at text[pos]. Returns its length in bytes,
// or 0 when the bytes there are not well-formed UTF-8 (overlong forms,
// surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8At(std::string_view text, std::size_t pos, char32_t& codePoint);

// Whether the whole of text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

}  // namespace qm::text

// ASCII-only text rules shared by every module: letter case, blanks and
// lines. Only ASCII letters fold, so a byte inside a multi-byte UTF-8 or GBK
// character never equals an ASCII letter by accident.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qm::text {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string AsciiLowered(std::string_view text);

bool EqualFolded(std::string_view a, std::string_view b);
bool StartsFolded(std::string_view text, std::string_view start);
bool EndsFolded(std::string_view text, std::string_view end);
bool ContainsFolded(std::string_view text, std::string_view word);

// Without the characters of `front` at its start and those of `back` at its
// end. The readers differ in what counts as a blank, so each says.
std::string_view Trimmed(std::string_view text, std::string_view front, std::string_view back);
inline std::string_view Trimmed(std::string_view text, std::string_view blanks) {
    return Trimmed(text, blanks, blanks);
}

// Without blanks and control characters (every byte up to the space) at
// either end, the way a typed value is cleaned.
std::string_view TrimmedOfControls(std::string_view text);

// The lines of a text file: split at '\n', each without a '\r' before it; a
// final line end opens no empty last line.
std::vector<std::string_view> Lines(std::string_view text);

}  // namespace qm::text

#include "xml/unicode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace qm::xml {

bool IsXmlChar(char32_t c) {
    if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
    if (c <= 0xD7FF) return true;
    if (c < 0xE000) return false;
    if (c <= 0xFFFD) return true;
    return c >= 0x10000 && c <= 0x10FFFF;
}

bool IsNameStartChar(char32_t c) {
    if (c < 0x80) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    }
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(char32_t c) {
    if (IsNameStartChar(c)) return true;
    return c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
           (c >= 0x203F && c <= 0x2040);
}

bool IsXmlName(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8At(text, pos, cp);
        if (length == 0) return false;
        if (pos == 0 ? !IsNameStartChar(cp) : !IsNameChar(cp)) return false;
        pos += length;
    }
    return !text.empty();
}

namespace {

// How many bytes text starts with that are printable ASCII, tab or line
// ends: the bulk of a server.xml, checked sixteen or eight bytes at a time.
// It may stop short of the first other byte, never past it.
std::size_t PlainAsciiPrefix(std::string_view text) {
    std::size_t pos = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    for (; pos + 16 <= text.size(); pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
        // Signed, so bytes from 0x80 on count as below the blank too.
        const __m128i low = _mm_cmplt_epi8(bytes, space);
        const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, tab), _mm_cmpeq_epi8(bytes, lineFeed)),
                                             _mm_cmpeq_epi8(bytes, carriageReturn));
        if (_mm_movemask_epi8(_mm_andnot_si128(allowed, low)) != 0) break;
    }
#else
    // A byte below 0x20 borrows into its top bit when 0x20 is taken from it,
    // and a byte from 0x80 on has it set already; tabs and line ends leave
    // the word to the caller.
    for (; pos + 8 <= text.size(); pos += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + pos, 8);
        if (((word | (word - 0x2020202020202020u)) & 0x8080808080808080u) != 0) break;
    }
#endif
    return pos;
}

}  // namespace

bool IsXmlText(std::string_view text, std::size_t& offset) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        pos += PlainAsciiPrefix(text.substr(pos));
        // The block that stopped the fast check (or the tail), one by one.
        const std::size_t stop = std::min(pos + 16, text.size());
        while (pos < stop) {
            const unsigned char c = static_cast<unsigned char>(text[pos]);
            if ((c >= 0x20 && c < 0x80) || c == '\t' || c == '\n' || c == '\r') {
                ++pos;
                continue;
            }
            char32_t cp = 0;
            const std::size_t length = DecodeUtf8At(text, pos, cp);
            if (length == 0 || !IsXmlChar(cp)) {
                offset = pos;
                return false;
            }
            pos += length;
        }
    }
    return true;
}

}  // namespace qm::xml

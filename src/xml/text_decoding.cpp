#include "xml/text_decoding.h"

#include <algorithm>
#include <cstdint>

#include "text/ascii.h"
#include "text/gb_codec.h"
#include "xml/unicode.h"

namespace qm::xml {
namespace {

enum class Encoding { Unknown, Utf8, Utf16Le, Utf16Be, Gbk, Gb18030, Latin1, Ascii, Windows1252 };

Encoding EncodingNamed(std::string_view name) {
    const std::string n = text::AsciiLowered(name);
    if (n == "utf-8" || n == "utf8") return Encoding::Utf8;
    if (n == "gb2312" || n == "gbk" || n == "cp936" || n == "euc-cn" || n == "x-gbk" || n == "windows-936") {
        return Encoding::Gbk;
    }
    if (n == "gb18030") return Encoding::Gb18030;
    if (n == "iso-8859-1" || n == "iso8859-1" || n == "iso_8859-1" || n == "latin1" || n == "l1")
        return Encoding::Latin1;
    if (n == "us-ascii" || n == "ascii") return Encoding::Ascii;
    if (n == "windows-1252" || n == "cp1252") return Encoding::Windows1252;
    return Encoding::Unknown;
}

bool IsUtf16Name(std::string_view name) {
    const std::string n = text::AsciiLowered(name);
    return n == "utf-16" || n == "utf-16le" || n == "utf-16be" || n == "unicode";
}

// windows-1252 differs from ISO-8859-1 only in 0x80-0x9F; five of those
// are unassigned (0 here) and refused.
constexpr char16_t kWindows1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                           0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool DecodeSingleByte(std::string_view bytes, Encoding encoding, std::string& out, std::string& reason) {
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        char32_t cp = c;
        if (c >= 0x80 && encoding == Encoding::Ascii) {
            reason = "byte above 0x7F in a US-ASCII file at byte " + std::to_string(i);
            return false;
        }
        if (c >= 0x80 && c <= 0x9F && encoding == Encoding::Windows1252) {
            cp = kWindows1252High[c - 0x80];
            if (cp == 0) {
                reason = "byte unassigned in windows-1252 at byte " + std::to_string(i);
                return false;
            }
        }
        AppendUtf8(out, cp);
    }
    return true;
}

bool DecodeUtf16(std::string_view bytes, bool bigEndian, std::string& out, std::string& reason) {
    if (bytes.size() % 2 != 0) {
        reason = "UTF-16 text with an odd number of bytes";
        return false;
    }
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t i) -> char32_t {
        const unsigned char a = static_cast<unsigned char>(bytes[i]);
        const unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (char32_t{a} << 8) | b : (char32_t{b} << 8) | a;
    };
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            reason = "unpaired UTF-16 surrogate at byte " + std::to_string(i);
            return false;
        }
        AppendUtf8(out, cp);
    }
    return true;
}

std::string_view CanonicalName(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
        return "UTF-8";
    case Encoding::Utf16Le:
        return "UTF-16LE";
    case Encoding::Utf16Be:
        return "UTF-16BE";
    case Encoding::Gbk:
        return "GBK";
    case Encoding::Gb18030:
        return "GB18030";
    case Encoding::Latin1:
        return "ISO-8859-1";
    case Encoding::Ascii:
        return "US-ASCII";
    case Encoding::Windows1252:
        return "windows-1252";
    case Encoding::Unknown:
        break;
    }
    return "";
}

}  // namespace

std::string DeclaredEncoding(std::string_view text) {
    if (text.substr(0, 5) != "<?xml" || text.size() < 6 || !IsXmlSpace(text[5])) return {};
    const std::size_t close = text.find("?>");
    const std::string_view declaration = text.substr(0, close);
    std::size_t pos = declaration.find("encoding");
    if (pos == std::string_view::npos) return {};
    pos += 8;
    while (pos < declaration.size() && (IsXmlSpace(declaration[pos]) || declaration[pos] == '=')) ++pos;
    if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\'')) return {};
    const std::size_t end = declaration.find(declaration[pos], pos + 1);
    if (end == std::string_view::npos) return {};
    return std::string(declaration.substr(pos + 1, end - pos - 1));
}

DecodedText DecodeXmlBytes(std::string_view bytes) {
    DecodedText result;
    Encoding encoding = Encoding::Unknown;
    std::string_view body = bytes;
    bool byteOrderMark = true;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        encoding = Encoding::Utf8;
        body = bytes.substr(3);
    } else if (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4) ||
               bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) {
        result.error = "UTF-32 is not a supported encoding";
        return result;
    } else if (bytes.substr(0, 2) == "\xFF\xFE") {
        encoding = Encoding::Utf16Le;
        body = bytes.substr(2);
    } else if (bytes.substr(0, 2) == "\xFE\xFF") {
        encoding = Encoding::Utf16Be;
        body = bytes.substr(2);
    } else if (bytes.substr(0, 4) == std::string_view("<\0?\0", 4)) {
        encoding = Encoding::Utf16Le;
        byteOrderMark = false;
    } else if (bytes.substr(0, 4) == std::string_view("\0<\0?", 4)) {
        encoding = Encoding::Utf16Be;
        byteOrderMark = false;
    } else {
        byteOrderMark = false;
    }

    bool decoded = false;
    if (encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be) {
        decoded = DecodeUtf16(body, encoding == Encoding::Utf16Be, result.utf8, result.error);
        const std::string declared = DeclaredEncoding(result.utf8);
        if (decoded && !declared.empty() && !IsUtf16Name(declared)) {
            result.error = "the declaration names " + declared + " but the text is UTF-16";
            return result;
        }
        if (decoded && !byteOrderMark && declared.empty()) {
            result.error = "UTF-16 text without a byte order mark must declare its encoding";
            return result;
        }
    } else {
        const std::string declared = DeclaredEncoding(body);
        if (!declared.empty()) {
            const Encoding named = EncodingNamed(declared);
            if (named == Encoding::Unknown) {
                result.error = IsUtf16Name(declared) ? "the declaration names UTF-16 but the text is not UTF-16"
                                                     : "unsupported encoding " + declared;
                return result;
            }
            if (encoding == Encoding::Utf8 && named != Encoding::Utf8) {
                result.error =
                    "the declaration names " + declared + " but the file starts with a UTF-8 byte order mark";
                return result;
            }
            encoding = named;
        }
        if (encoding == Encoding::Unknown) encoding = Encoding::Utf8;
        switch (encoding) {
        case Encoding::Utf8:
            result.utf8.assign(body);
            decoded = true;
            break;
        case Encoding::Gbk:
        case Encoding::Gb18030:
            decoded = text::DecodeGb(body, encoding == Encoding::Gbk ? text::GbVariant::Gbk : text::GbVariant::Gb18030,
                                     result.utf8, result.error);
            break;
        default:
            decoded = DecodeSingleByte(body, encoding, result.utf8, result.error);
            break;
        }
    }
    if (!decoded) return result;

    // One check of the decoded text catches malformed UTF-8 input and control
    // characters from every decoder alike.
    std::size_t badOffset = 0;
    if (!IsXmlText(result.utf8, badOffset)) {
        result.error = "invalid or non-XML character at offset " + std::to_string(badOffset) + " of the " +
                       std::string(CanonicalName(encoding)) + " text";
        result.utf8.clear();
        return result;
    }
    result.encodingName = std::string(CanonicalName(encoding));
    return result;
}

}  // namespace qm::xml

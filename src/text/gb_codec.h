// The Chinese national encodings: reading GBK (code page 936) and GB18030,
// and writing GB2312, the encoding server.xml is saved in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm::text {

enum class GbVariant { Gbk, Gb18030 };

// Converts bytes to UTF-8. GB2312 files are read as GBK, its superset, so a
// file labelled GB2312 that holds a few GBK characters still loads. GB18030
// four-byte sequences are read for the whole of Unicode: the BMP through the
// standard's range table, the other planes by their linear formula. On
// failure reason names the offending byte offset.
[[nodiscard]] bool DecodeGb(std::string_view bytes, GbVariant variant, std::string& utf8, std::string& reason);

// The GB2312 (EUC-CN) code of a code point, lead byte << 8 | trail byte, or
// nothing when GB2312 cannot write it; ASCII is not asked for here.
std::optional<std::uint16_t> Gb2312CodeFor(char32_t codePoint);

}  // namespace qm::text

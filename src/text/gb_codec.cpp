#include "text/gb_codec.h"

#include <algorithm>
#include <array>
#include <memory>

#include "text/gb_tables.h"
#include "text/utf8.h"

namespace qm::text {
namespace {

constexpr std::uint32_t kSupplementaryLinearStart = 189000;  // 0x90308130

std::uint16_t GbkTableLookup(unsigned lead, unsigned trail) {
    if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE || trail == 0x7F) return 0;
    const unsigned slot = trail < 0x7F ? trail - 0x40 : trail - 0x41;
    return gb::kGbkTwoByte[(lead - gb::kGbkFirstLead) * gb::kGbkTrailCount + slot];
}

std::uint16_t Gb18030TwoByte(unsigned lead, unsigned trail) {
    const std::uint16_t code = static_cast<std::uint16_t>((lead << 8) | trail);
    const gb::CodeMapping* begin = gb::kGb18030TwoByteOverrides;
    const gb::CodeMapping* end = begin + gb::kGb18030TwoByteOverrideCount;
    const gb::CodeMapping* found =
        std::lower_bound(begin, end, code, [](const gb::CodeMapping& m, std::uint16_t c) { return m.code < c; });
    if (found != end && found->code == code) return found->unicode;
    return GbkTableLookup(lead, trail);
}

std::optional<char32_t> Gb18030FourByte(std::uint32_t linear) {
    if (linear < gb::kGb18030FourByteBmpEnd) {
        const gb::FourByteRange* begin = gb::kGb18030FourByteRanges;
        const gb::FourByteRange* end = begin + gb::kGb18030FourByteRangeCount;
        const gb::FourByteRange* after = std::upper_bound(
            begin, end, linear, [](std::uint32_t l, const gb::FourByteRange& r) { return l < r.linear; });
        if (after == begin) return std::nullopt;
        const gb::FourByteRange& run = *(after - 1);
        return static_cast<char32_t>(run.unicode + (linear - run.linear));
    }
    if (linear >= kSupplementaryLinearStart && linear - kSupplementaryLinearStart <= 0xFFFFF) {
        return static_cast<char32_t>(0x10000 + (linear - kSupplementaryLinearStart));
    }
    return std::nullopt;
}

bool InRange(unsigned char c, unsigned low, unsigned high) { return c >= low && c <= high; }

// The reverse of the GBK table limited to GB2312, built on first use: the
// save path asks for every non-ASCII character of the file. A code is
// written only for GBK's reading of it, since that is how the file is read
// again: GB2312's own readings of A1A4 and A1AA (U+30FB, U+2015) would come
// back as U+00B7 and U+2014, so they are written like any character GB2312
// cannot hold.
using ReverseTable = std::array<std::uint16_t, 0x10000>;

std::unique_ptr<ReverseTable> BuildGb2312ReverseTable() {
    auto table = std::make_unique<ReverseTable>();
    table->fill(0);
    for (unsigned lead = 0xA1; lead <= 0xF7; ++lead) {
        for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
            const std::uint16_t code = static_cast<std::uint16_t>((lead << 8) | trail);
            const std::uint16_t unicode = GbkTableLookup(lead, trail);
            if (unicode == 0 ||
                std::binary_search(gb::kGbkCodesOutsideGb2312,
                                   gb::kGbkCodesOutsideGb2312 + gb::kGbkCodesOutsideGb2312Count, code)) {
                continue;
            }
            if ((*table)[unicode] == 0) (*table)[unicode] = code;
        }
    }
    return table;
}

}  // namespace

bool DecodeGb(std::string_view bytes, GbVariant variant, std::string& utf8, std::string& reason) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const auto fail = [&](std::size_t offset, const char* what) {
        reason = std::string(what) + " at byte " + std::to_string(offset);
        return false;
    };
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const unsigned char lead = at(pos);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++pos;
            continue;
        }
        if (lead == 0x80 && variant == GbVariant::Gbk) {
            // Code page 936 keeps the euro sign on this single byte.
            AppendUtf8(out, 0x20AC);
            ++pos;
            continue;
        }
        if (lead == 0x80 || lead == 0xFF || pos + 1 >= bytes.size()) {
            return fail(pos, "invalid or truncated multi-byte sequence");
        }
        const unsigned char second = at(pos + 1);
        if (variant == GbVariant::Gb18030 && InRange(second, 0x30, 0x39)) {
            if (pos + 3 >= bytes.size() || !InRange(at(pos + 2), 0x81, 0xFE) || !InRange(at(pos + 3), 0x30, 0x39)) {
                return fail(pos, "invalid GB18030 four-byte sequence");
            }
            const std::uint32_t linear =
                (((lead - 0x81u) * 10 + (second - 0x30u)) * 126 + (at(pos + 2) - 0x81u)) * 10 + (at(pos + 3) - 0x30u);
            const std::optional<char32_t> cp = Gb18030FourByte(linear);
            if (!cp) return fail(pos, "unassigned GB18030 four-byte sequence");
            AppendUtf8(out, *cp);
            pos += 4;
            continue;
        }
        const std::uint16_t unicode =
            variant == GbVariant::Gb18030 ? Gb18030TwoByte(lead, second) : GbkTableLookup(lead, second);
        if (unicode == 0) return fail(pos, "unassigned double-byte code");
        AppendUtf8(out, unicode);
        pos += 2;
    }
    utf8 = std::move(out);
    return true;
}

std::optional<std::uint16_t> Gb2312CodeFor(char32_t codePoint) {
    static const std::unique_ptr<ReverseTable> table = BuildGb2312ReverseTable();
    if (codePoint >= 0x10000) return std::nullopt;
    const std::uint16_t code = (*table)[codePoint];
    if (code == 0) return std::nullopt;
    return code;
}

}  // namespace qm::text

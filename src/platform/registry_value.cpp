#include "platform/registry_writer.h"

#include "text/utf8.h"

namespace qm {
namespace {

void AppendUnit(std::string& bytes, char16_t unit) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
}

// UTF-8 as UTF-16 LE; a malformed byte becomes U+FFFD, as the wide API would
// take it.
void AppendUtf16(std::string& bytes, std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        char32_t point = 0;
        std::size_t length = text::DecodeUtf8At(text, at, point);
        if (length == 0) {
            point = 0xFFFD;
            length = 1;
        }
        at += length;
        if (point >= 0x10000) {
            point -= 0x10000;
            AppendUnit(bytes, static_cast<char16_t>(0xD800 + (point >> 10)));
            AppendUnit(bytes, static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
        } else {
            AppendUnit(bytes, static_cast<char16_t>(point));
        }
    }
}

std::u16string Units(std::string_view data) {
    std::u16string units(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                         (static_cast<unsigned char>(data[2 * i + 1]) << 8));
    return units;
}

std::string Utf8(std::u16string_view units) {
    std::string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t point = units[i];
        if (point >= 0xD800 && point < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            point = 0x10000 + ((point - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (point >= 0xD800 && point < 0xE000) {
            point = 0xFFFD;
        }
        text::AppendUtf8(text, point);
    }
    return text;
}

bool IsStringType(std::uint32_t type) { return type == kRegistryString || type == kRegistryExpandString; }

// The value as RegistryReader hands it out, rebuilt in one form.
RegistryValue Reading(const RegistryValue& value) {
    const std::optional<std::vector<std::string>> strings = StringsOf(value);
    if (strings && IsStringType(value.type)) return StringValue(strings->empty() ? "" : strings->front());
    if (strings) {
        std::vector<std::string> kept;
        for (const std::string& string : *strings)
            if (!string.empty()) kept.push_back(string);
        return MultiStringValue(kept);
    }
    return value;
}

}  // namespace

RegistryValue StringValue(std::string_view text, std::uint32_t type) {
    RegistryValue value{type, {}};
    AppendUtf16(value.data, text);
    AppendUnit(value.data, 0);
    return value;
}

RegistryValue DwordValue(std::uint32_t number) {
    RegistryValue value{kRegistryDword, {}};
    for (int shift = 0; shift < 32; shift += 8) value.data += static_cast<char>((number >> shift) & 0xFF);
    return value;
}

RegistryValue MultiStringValue(const std::vector<std::string>& strings) {
    RegistryValue value{kRegistryMultiString, {}};
    for (const std::string& string : strings) {
        AppendUtf16(value.data, string);
        AppendUnit(value.data, 0);
    }
    AppendUnit(value.data, 0);
    return value;
}

std::optional<std::vector<std::string>> StringsOf(const RegistryValue& value) {
    if (!IsStringType(value.type) && value.type != kRegistryMultiString) return std::nullopt;
    std::u16string units = Units(value.data);
    if (IsStringType(value.type)) {
        // Stored with its terminator, without one, or with several.
        while (!units.empty() && units.back() == u'\0') units.pop_back();
        return std::vector<std::string>{Utf8(units)};
    }
    // Each string ends with a NUL and the list with one more, which some
    // writers leave out.
    std::vector<std::string> strings;
    while (!units.empty() && units.back() == u'\0') units.pop_back();
    std::size_t at = 0;
    while (at < units.size()) {
        std::size_t end = units.find(u'\0', at);
        if (end == std::u16string::npos) end = units.size();
        strings.push_back(Utf8(std::u16string_view(units).substr(at, end - at)));
        at = end + 1;
    }
    return strings;
}

bool SameReading(const RegistryValue& a, const RegistryValue& b) {
    if (a == b) return true;
    if (a.type == kRegistryDword || b.type == kRegistryDword) return false;
    const bool aString = IsStringType(a.type);
    const bool bString = IsStringType(b.type);
    if (aString != bString || (!aString && a.type != b.type)) return false;
    return Reading(a) == Reading(b);
}

bool SameReading(const std::optional<RegistryValue>& a, const std::optional<RegistryValue>& b) {
    if (!a || !b) return !a && !b;
    return SameReading(*a, *b);
}

}  // namespace qm

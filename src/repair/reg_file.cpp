#include "repair/reg_file.h"

#include "text/ascii.h"

namespace qm::repair {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kSoftware = "SOFTWARE\\";
constexpr std::string_view kRedirected = "WOW6432Node\\";
// The editor's own files break hex lines after this column.
constexpr std::size_t kHexColumn = 76;

std::string KeyName(const RegFileValue& value) {
    std::string key = "HKEY_LOCAL_MACHINE\\";
    const std::string_view path = value.keyPath;
    if (value.view == RegistryView::Wow32 && text::StartsFolded(path, kSoftware))
        key += std::string(path.substr(0, kSoftware.size())) + std::string(kRedirected) +
               std::string(path.substr(kSoftware.size()));
    else
        key += path;
    return key;
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// A REG_SZ whose text comes back the same from a quoted line: one terminator,
// no NUL inside, no line break.
std::optional<std::string> QuotableString(const RegistryValue& value) {
    if (value.type != kRegistryString) return std::nullopt;
    const std::optional<std::vector<std::string>> strings = StringsOf(value);
    if (!strings || strings->size() != 1) return std::nullopt;
    const std::string& text = strings->front();
    if (text.find_first_of("\r\n") != std::string::npos || StringValue(text) != value) return std::nullopt;
    return text;
}

std::string Hex(std::string line, const RegistryValue& value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    if (value.type == kRegistryBinary)
        line += "hex:";
    else {
        line += "hex(";
        const std::string type = [&] {
            std::string digits;
            for (std::uint32_t rest = value.type; rest != 0 || digits.empty(); rest >>= 4)
                digits.insert(digits.begin(), kDigits[rest & 0xF]);
            return digits;
        }();
        line += type + "):";
    }
    std::string text;
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value.data[i]);
        line += kDigits[byte >> 4];
        line += kDigits[byte & 0xF];
        if (i + 1 == value.data.size()) break;
        line += ',';
        if (line.size() > kHexColumn) {
            text += line + "\\\r\n";
            line = "  ";
        }
    }
    return text + line;
}

std::string ValueLine(const RegFileValue& entry) {
    std::string line = entry.name.empty() ? std::string("@") : Quoted(entry.name);
    line += '=';
    if (!entry.value) return line + "-";
    const RegistryValue& value = *entry.value;
    if (const std::optional<std::string> text = QuotableString(value)) return line + Quoted(*text);
    if (value.type == kRegistryDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        static constexpr char kDigits[] = "0123456789abcdef";
        line += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) line += kDigits[(number >> shift) & 0xF];
        return line;
    }
    return Hex(std::move(line), value);
}

}  // namespace

std::string RegFileText(const std::vector<RegFileValue>& values) {
    std::string text = std::string(kHeader) + "\r\n";
    std::string key;
    for (const RegFileValue& value : values) {
        const std::string name = KeyName(value);
        if (name != key) {
            text += "\r\n[" + name + "]\r\n";
            key = name;
        }
        text += ValueLine(value) + "\r\n";
    }
    return text + "\r\n";
}

std::string RegFileBytes(std::string_view text) {
    // UTF-16 LE, the form StringValue stores, less its terminator.
    std::string bytes = "\xFF\xFE";
    const RegistryValue wide = StringValue(text);
    bytes.append(wide.data, 0, wide.data.size() - 2);
    return bytes;
}

}  // namespace qm::repair

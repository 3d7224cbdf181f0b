#include "platform/win32/system_inspection_win.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace qm::win32 {
namespace {

UniqueRegistryKey OpenForReading(std::string_view keyPath, RegistryView view) {
    const REGSAM viewFlag = view == RegistryView::Native ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(keyPath).c_str(), 0, KEY_READ | viewFlag, &key) != ERROR_SUCCESS)
        return {};
    return UniqueRegistryKey(key);
}

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

std::optional<RawValue> QueryValue(std::string_view keyPath, std::string_view name, RegistryView view) {
    const UniqueRegistryKey key = OpenForReading(keyPath, view);
    if (!key) return std::nullopt;
    const std::wstring valueName = Widen(name);
    RawValue value;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &value.type, nullptr, &size);
    // The value may grow between asking its size and reading it.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        value.data.resize(size);
        status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &value.type, value.data.data(), &size);
        if (status == ERROR_SUCCESS) {
            value.data.resize(size);
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> Win32RegistryReader::ReadString(std::string_view keyPath, std::string_view name,
                                                           RegistryView view) {
    const auto value = QueryValue(keyPath, name, view);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
    std::wstring text(value->data.size() / sizeof(wchar_t), L'\0');
    std::copy_n(value->data.data(), text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(text.data()));
    // Stored with its terminator, or without one, or with several.
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return Narrow(text);
}

std::optional<std::uint32_t> Win32RegistryReader::ReadDword(std::string_view keyPath, std::string_view name,
                                                            RegistryView view) {
    const auto value = QueryValue(keyPath, name, view);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD)) return std::nullopt;
    DWORD number = 0;
    std::copy_n(value->data.data(), sizeof number, reinterpret_cast<BYTE*>(&number));
    return number;
}

std::optional<std::vector<std::string>> Win32RegistryReader::ReadMultiString(std::string_view keyPath,
                                                                             std::string_view name, RegistryView view) {
    const auto value = QueryValue(keyPath, name, view);
    if (!value || value->type != REG_MULTI_SZ) return std::nullopt;
    std::wstring text(value->data.size() / sizeof(wchar_t), L'\0');
    std::copy_n(value->data.data(), text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(text.data()));
    // Each string ends with a NUL and the list with one more; writers that
    // leave out the last ones, or put empty strings between, are read alike.
    std::vector<std::string> strings;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(L'\0', at);
        if (end == std::wstring::npos) end = text.size();
        if (end > at) strings.push_back(Narrow(text.substr(at, end - at)));
        at = end + 1;
    }
    return strings;
}

bool Win32RegistryReader::KeyExists(std::string_view keyPath, RegistryView view) {
    return static_cast<bool>(OpenForReading(keyPath, view));
}

}  // namespace qm::win32

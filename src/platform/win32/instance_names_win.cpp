#include "platform/win32/instance_names_win.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <utility>

namespace qm::win32 {
namespace {

// The registry's own limit on a value name, in characters.
constexpr DWORD kLongestValueName = 16383;

}  // namespace

RegistryInstanceNames::RegistryInstanceNames(std::string keyPath) : keyPath_(std::move(keyPath)) {}

std::optional<std::vector<std::string>> RegistryInstanceNames::ReadInstanceNames(RegistryView view) {
    // Opened, never created: reading the list must not leave a key behind on
    // a machine with no instances. Read access only, which every user has.
    const REGSAM access = KEY_READ | (view == RegistryView::Wow32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(keyPath_).c_str(), 0, access, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    const win32::UniqueRegistryKey key(opened);

    std::vector<std::string> names;
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return names;

    std::wstring buffer(longest + 1, L'\0');
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        LSTATUS status = RegEnumValueW(key.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            // A longer name came in since the count was taken.
            buffer.assign(kLongestValueName + 1, L'\0');
            length = static_cast<DWORD>(buffer.size());
            status = RegEnumValueW(key.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        }
        // Values removed meanwhile end the list early; what was read stands.
        if (status != ERROR_SUCCESS) break;
        names.push_back(win32::Narrow(std::wstring_view(buffer.data(), length)));
    }
    return names;
}

}  // namespace qm::win32

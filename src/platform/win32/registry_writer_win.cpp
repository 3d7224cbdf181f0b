#include "platform/win32/repair_ports_win.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <vector>

namespace qm::win32 {
namespace {

RegistryOutcome OutcomeOf(LSTATUS status) {
    if (status == ERROR_SUCCESS) return RegistryOutcome::Done;
    return status == ERROR_ACCESS_DENIED ? RegistryOutcome::Denied : RegistryOutcome::Failed;
}

LSTATUS OpenKey(std::string_view keyPath, RegistryView view, REGSAM access, UniqueRegistryKey& key) {
    const REGSAM viewFlag = view == RegistryView::Native ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(keyPath).c_str(), 0, access | viewFlag, &opened);
    if (status == ERROR_SUCCESS) key.reset(opened);
    return status;
}

}  // namespace

RegistryOutcome Win32RegistryWriter::Read(std::string_view keyPath, std::string_view name, RegistryView view,
                                          std::optional<RegistryValue>& value) {
    UniqueRegistryKey key;
    if (const LSTATUS status = OpenKey(keyPath, view, KEY_QUERY_VALUE, key); status != ERROR_SUCCESS)
        return OutcomeOf(status);
    const std::wstring valueName = Widen(name);
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        value.reset();
        return RegistryOutcome::Done;
    }
    std::vector<BYTE> data;
    // The value may grow between asking its size and reading it.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        data.resize(size);
        status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_SUCCESS) {
            value = RegistryValue{type, std::string(reinterpret_cast<const char*>(data.data()), size)};
            return RegistryOutcome::Done;
        }
    }
    return OutcomeOf(status);
}

RegistryOutcome Win32RegistryWriter::Write(std::string_view keyPath, std::string_view name, RegistryView view,
                                           const RegistryValue& value) {
    UniqueRegistryKey key;
    if (const LSTATUS status = OpenKey(keyPath, view, KEY_SET_VALUE, key); status != ERROR_SUCCESS)
        return OutcomeOf(status);
    return OutcomeOf(RegSetValueExW(key.get(), Widen(name).c_str(), 0, value.type,
                                    reinterpret_cast<const BYTE*>(value.data.data()),
                                    static_cast<DWORD>(value.data.size())));
}

RegistryOutcome Win32RegistryWriter::Remove(std::string_view keyPath, std::string_view name, RegistryView view) {
    UniqueRegistryKey key;
    if (const LSTATUS status = OpenKey(keyPath, view, KEY_SET_VALUE, key); status != ERROR_SUCCESS)
        return OutcomeOf(status);
    const LSTATUS status = RegDeleteValueW(key.get(), Widen(name).c_str());
    return status == ERROR_FILE_NOT_FOUND ? RegistryOutcome::Done : OutcomeOf(status);
}

}  // namespace qm::win32

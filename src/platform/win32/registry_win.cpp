#include "platform/win32/registry_win.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <vector>

namespace qm::win32 {
namespace {

constexpr wchar_t kEnvironmentKeyPath[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";

class EnvironmentKey : public MachineEnvironmentKey {
public:
    explicit EnvironmentKey(UniqueRegistryKey key) : key_(std::move(key)) {}

    std::optional<RegistryValueInfo> Query(std::string_view name) override {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key_.get(), Widen(name).c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        return RegistryValueInfo{type, size};
    }

    std::optional<RegistryValueInfo> Read(std::string_view name, std::uint32_t size) override {
        std::vector<BYTE> data(size);
        DWORD type = 0;
        DWORD read = size;
        if (RegQueryValueExW(key_.get(), Widen(name).c_str(), nullptr, &type, data.data(), &read) != ERROR_SUCCESS)
            return std::nullopt;
        return RegistryValueInfo{type, read};
    }

    bool WriteExpandString(std::string_view name, std::string_view text) override {
        const auto wide = Widen(text);
        const auto bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key_.get(), Widen(name).c_str(), 0, REG_EXPAND_SZ,
                              reinterpret_cast<const BYTE*>(wide.c_str()), bytes) == ERROR_SUCCESS;
    }

private:
    UniqueRegistryKey key_;
};

}  // namespace

std::unique_ptr<MachineEnvironmentKey> MachineEnvironmentRegistry::OpenOrCreateKey() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<EnvironmentKey>(UniqueRegistryKey(key));
}

}  // namespace qm::win32

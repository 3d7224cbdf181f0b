#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace qm {

// Registry value types, numbered as the registry numbers them.
inline constexpr std::uint32_t kRegistryString = 1;        // REG_SZ
inline constexpr std::uint32_t kRegistryExpandString = 2;  // REG_EXPAND_SZ
inline constexpr std::uint32_t kRegistryBinary = 3;        // REG_BINARY
inline constexpr std::uint32_t kRegistryDword = 4;         // REG_DWORD
inline constexpr std::uint32_t kRegistryMultiString = 7;   // REG_MULTI_SZ

// What the registry says about a value: its type and its data size in bytes.
struct RegistryValueInfo {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
};

// The open machine environment key. Destroying it closes the key.
class MachineEnvironmentKey {
public:
    virtual ~MachineEnvironmentKey() = default;
    // Type and size of the value, asked without a buffer; nothing when the
    // registry won't say (an absent value, for one).
    virtual std::optional<RegistryValueInfo> Query(std::string_view name) = 0;
    // Reads the value's data into a buffer of the given size; the type and size
    // of what was read, or nothing when the read fails.
    virtual std::optional<RegistryValueInfo> Read(std::string_view name, std::uint32_t size) = 0;
    // Writes text as REG_EXPAND_SZ with its terminating NUL; false when refused.
    virtual bool WriteExpandString(std::string_view name, std::string_view text) = 0;
};

// Where the machine-wide environment variables live.
class MachineEnvironment {
public:
    virtual ~MachineEnvironment() = default;
    // Opens the key for all access, creating it when missing; null when the
    // system refuses (no administrative rights, typically).
    virtual std::unique_ptr<MachineEnvironmentKey> OpenOrCreateKey() = 0;
};

}  // namespace qm

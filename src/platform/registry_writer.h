#pragma once

// Values below HKEY_LOCAL_MACHINE, read as stored and written back, for the
// repairs the diagnosis offers. Only these change the registry's settings of a
// service runner; each write is one value in one step.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine_environment_key.h"
#include "platform/system_inspection.h"

namespace qm {

// A registry value exactly as stored: its type and its bytes (strings in
// UTF-16 LE with their terminators, as the registry keeps them).
struct RegistryValue {
    std::uint32_t type = 0;
    std::string data;
    bool operator==(const RegistryValue&) const = default;
};

// REG_SZ or REG_EXPAND_SZ with one terminating NUL.
RegistryValue StringValue(std::string_view text, std::uint32_t type = kRegistryString);
RegistryValue DwordValue(std::uint32_t number);
// Each string with its NUL, and one more at the end.
RegistryValue MultiStringValue(const std::vector<std::string>& strings);

// Whether two values read alike for RegistryReader: both strings (of either
// string type) with one text, terminators aside; both lists with the same
// non-empty strings; both the same DWORD. A value of any other type reads
// alike only when it is the same bytes.
bool SameReading(const RegistryValue& a, const RegistryValue& b);
bool SameReading(const std::optional<RegistryValue>& a, const std::optional<RegistryValue>& b);

// The strings of a REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ value, as UTF-8, with
// every string kept (empty ones too); nothing for another type.
std::optional<std::vector<std::string>> StringsOf(const RegistryValue& value);

enum class RegistryOutcome { Done, Denied, Failed };

class RegistryWriter {
public:
    virtual ~RegistryWriter() = default;
    // The value as stored; nothing in value when the key holds none. Fails
    // when the key is missing or can't be read.
    virtual RegistryOutcome Read(std::string_view keyPath, std::string_view name, RegistryView view,
                                 std::optional<RegistryValue>& value) = 0;
    // Sets the value in an existing key; never creates a key.
    virtual RegistryOutcome Write(std::string_view keyPath, std::string_view name, RegistryView view,
                                  const RegistryValue& value) = 0;
    // Removes the value; one that is not there counts as removed.
    virtual RegistryOutcome Remove(std::string_view keyPath, std::string_view name, RegistryView view) = 0;
};

}  // namespace qm

#pragma once

// Registry values as a file the registry editor imports ("regedit /s file"),
// putting each back as it was: the repairs' backups.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_writer.h"

namespace qm::repair {

struct RegFileValue {
    std::string keyPath;  // below HKEY_LOCAL_MACHINE
    RegistryView view = RegistryView::Native;
    std::string name;                    // empty: the key's default value
    std::optional<RegistryValue> value;  // nothing: there was none, and the import removes it
};

// The file's text, one value a line below its key, lines ended by CR LF. A
// key of the 32-bit view is named by its WOW6432Node path, where the 64-bit
// editor finds that view. Strings that read back as themselves are quoted,
// DWORDs written as dword:, everything else as the hex bytes of its type
// (hex(2): expandable strings, hex(7): string lists).
std::string RegFileText(const std::vector<RegFileValue>& values);

// The text as the editor wants the file: UTF-16 LE after a byte order mark.
std::string RegFileBytes(std::string_view text);

}  // namespace qm::repair

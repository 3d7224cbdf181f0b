#pragma once

#include "platform/shell.h"

#include <string_view>

namespace qm::win32 {

// The directory at path, held as OpenedDirectory describes: others may read
// and write in it but neither rename nor delete it. Everything below is
// opened relative to its handle with the system's own open (NtCreateFile),
// never following a link.
FoundDirectory OpenHeldDirectory(std::string_view path);

}  // namespace qm::win32

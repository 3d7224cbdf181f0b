#pragma once

#include <cstdint>
#include <string>

#include "platform/system_messages.h"

namespace qm::diagnosis {

// The service manager's code for "the service ended with a code of its own"
// (ERROR_SERVICE_SPECIFIC_ERROR), and for a service never started since boot.
inline constexpr std::uint32_t kServiceSpecificError = 1066;
inline constexpr std::uint32_t kServiceNeverStarted = 1077;

// How a stopped service last ended, in words and never as a bare number:
// the system's text for its code, or the service's own code with what it
// means where that is known. Empty when the service ended without a code.
std::string ExitCodeWords(std::uint32_t win32ExitCode, std::uint32_t serviceExitCode, SystemMessages& messages);

}  // namespace qm::diagnosis

#include "platform/win32/system_inspection_win.h"

#include "platform/win32/unique_handle.h"

#include <windows.h>

namespace qm::win32 {

std::optional<bool> Win32RightsInspector::IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::nullopt;
    const UniqueKernelHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(owned.get(), TokenElevation, &elevation, sizeof elevation, &size)) return std::nullopt;
    return elevation.TokenIsElevated != 0;
}

}  // namespace qm::win32

// The file inspector's write times, which are FILETIME ticks (100 ns since
// 1601, UTC), shown in the machine's time zone.

#include "platform/win32/system_inspection_win.h"

#include <windows.h>

namespace qm::win32 {

std::optional<LocalTime> Win32FileInspector::ToLocalTime(std::uint64_t lastWriteTime) {
    FILETIME utc{};
    utc.dwLowDateTime = static_cast<DWORD>(lastWriteTime);
    utc.dwHighDateTime = static_cast<DWORD>(lastWriteTime >> 32);
    SYSTEMTIME universal{}, local{};
    // The zone's rule for that day, not today's offset: a log of summer reads
    // in summer time in winter too.
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return std::nullopt;
    return LocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute};
}

}  // namespace qm::win32

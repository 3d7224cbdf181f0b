// The file inspector's write times shown in the machine's time zone.
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/unique_handle.h"
#include "support/lib/processes.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace qm {
namespace {

// 2026-07-15 06:30:00 UTC, set on the file by the test.
constexpr SYSTEMTIME kWritten{2026, 7, 3, 15, 6, 30, 0, 0};

TEST(FileTimes, AListedWriteTimeReadsAsTheZonesWallClock) {
    test::ScratchDirectory scratch;
    test::CreateFileWithText(scratch.Path() / L"catalina.log");
    FILETIME written{};
    ASSERT_TRUE(SystemTimeToFileTime(&kWritten, &written));
    {
        const win32::UniqueFileHandle file(CreateFileW((scratch.Path() / L"catalina.log").c_str(),
                                                       FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                       0, nullptr));
        ASSERT_TRUE(file);
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &written));
    }
    win32::Win32FileInspector files;
    const auto items = files.List(scratch.Text());
    ASSERT_TRUE(items && items->size() == 1);

    // The zone's own offset for that day, from its rules rather than today's.
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = GetTimeZoneInformation(&zone);
    ASSERT_NE(kind, TIME_ZONE_ID_INVALID);
    SYSTEMTIME expected{};
    ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&zone, &kWritten, &expected));

    const std::optional<LocalTime> shown = files.ToLocalTime(items->front().lastWriteTime);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->year, expected.wYear);
    EXPECT_EQ(shown->month, expected.wMonth);
    EXPECT_EQ(shown->day, expected.wDay);
    EXPECT_EQ(shown->hour, expected.wHour);
    EXPECT_EQ(shown->minute, 30);
}

TEST(FileTimes, ATimeBeyondWhatTheSystemCanShowIsNothing) {
    win32::Win32FileInspector files;
    EXPECT_EQ(files.ToLocalTime(~std::uint64_t{0}), std::nullopt);
}

}  // namespace
}  // namespace qm

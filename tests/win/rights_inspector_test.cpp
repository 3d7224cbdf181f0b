// The rights inspector against this test process's own token.
#include "platform/win32/system_inspection_win.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

namespace qm {
namespace {

TEST(RightsInspector, SaysElevatedExactlyWhenTheShellCountsUsAsAdministrator) {
    win32::Win32RightsInspector rights;
    const auto elevated = rights.IsElevated();
    ASSERT_TRUE(elevated);
    EXPECT_EQ(*elevated, IsUserAnAdmin() != FALSE);
}

}  // namespace
}  // namespace qm

#include "browser/browser_data.h"

#include "unit/tomcat_fakes.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace qm::browser {
namespace {

using test::FakeShell;

TEST(BrowserDataParameters, EachButtonPassesItsOwnFlag) {
    EXPECT_EQ(BrowserDataParameters(1), "inetcpl.cpl,ClearMyTracksByProcess 8");
    EXPECT_EQ(BrowserDataParameters(2), "inetcpl.cpl,ClearMyTracksByProcess 2");
    EXPECT_EQ(BrowserDataParameters(3), "inetcpl.cpl,ClearMyTracksByProcess 1");
    EXPECT_EQ(BrowserDataParameters(4), "inetcpl.cpl,ClearMyTracksByProcess 16");
    EXPECT_EQ(BrowserDataParameters(5), "inetcpl.cpl,ClearMyTracksByProcess 32");
    EXPECT_EQ(BrowserDataParameters(6), "inetcpl.cpl,ClearMyTracksByProcess 255");
    EXPECT_THROW(BrowserDataParameters(0), std::out_of_range);
    EXPECT_THROW(BrowserDataParameters(7), std::out_of_range);
}

TEST(ClearBrowserData, OpensTheSystemsRundll32WithTheParameters) {
    FakeShell shell;
    shell.systemDirectory = "D:\\WINNT\\system32";
    ClearBrowserData(shell, 6);
    EXPECT_EQ(
        shell.calls,
        (std::vector<std::string>{"open D:\\WINNT\\system32\\rundll32.exe inetcpl.cpl,ClearMyTracksByProcess 255"}));
    shell.systemDirectory.clear();
    ClearBrowserData(shell, 1);
    EXPECT_EQ(shell.calls.size(), 1u);
}

}  // namespace
}  // namespace qm::browser

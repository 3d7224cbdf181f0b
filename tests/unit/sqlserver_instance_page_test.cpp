#include "sqlserver/instance_page.h"

#include "services_fakes.h"

#include <gtest/gtest.h>

namespace qm::sqlserver {
namespace {

using test::CallLog;

TEST(OutcomeOfPick, EnablesTheButtonThatFitsAStoppedOrRunningService) {
    EXPECT_EQ(OutcomeOfPick("notRunning"), (PageOutcome{std::nullopt, kStartOnly}));
    EXPECT_EQ(OutcomeOfPick("running"), (PageOutcome{std::nullopt, kStopOnly}));
}

TEST(OutcomeOfPick, ShowsAnyOtherResultVerbatimAndLeavesTheButtons) {
    for (const char* word :
         {"starting", "stopping", "continuePending", "pausePending", "paused", "unknown", "notQuery",
          "Can not open the service control manager", "Can not open the service(MSSQL$X)", "Running", "running ", ""}) {
        EXPECT_EQ(OutcomeOfPick(word), (PageOutcome{word, std::nullopt})) << word;
    }
}

TEST(PageMessages, AreBracketedFullWidthAndEndInAnAsciiExclamationMark) {
    const PageOutcome started = OutcomeOfStart("SQLEXPRESS", "success");
    ASSERT_TRUE(started.message);
    EXPECT_EQ(*started.message, "【SQLEXPRESS】服务已启动!");
    // "【" and "】" are three UTF-8 bytes each; the tail ends in byte 0x21.
    EXPECT_EQ(started.message->substr(0, 3), "\xE3\x80\x90");
    EXPECT_EQ(started.message->substr(13, 3), "\xE3\x80\x91");
    EXPECT_EQ(started.message->back(), '!');

    EXPECT_EQ(OutcomeOfStart("A", "failed").message, "【A】服务启动失败!");
    EXPECT_EQ(OutcomeOfStop("A", "notRunning").message, "【A】服务已停止!");
    EXPECT_EQ(OutcomeOfStop("A", "running").message, "【A】服务停止失败!");
}

TEST(OutcomeOfStop, SwapsTheButtonsOnlyWhenTheServiceIsThenStopped) {
    EXPECT_EQ(OutcomeOfStop("A", "notRunning").buttons, kStartOnly);
    for (const char* word : {"running", "stopping", "notQuery", "Can not open the service(MSSQL$A)"})
        EXPECT_EQ(OutcomeOfStop("A", word), (PageOutcome{"【A】服务停止失败!", std::nullopt})) << word;
}

// The page against scripted services: the instance as listed in the
// messages, the mapped service name in every service call.
class InstancePage_ : public ::testing::Test {
protected:
    CallLog log;
    test::FakeServiceManager manager{log};
    test::FakeWaiting waiting{log};
    InstancePage page{manager, waiting};

    void TearDown() override { EXPECT_TRUE(manager.OpenHandles().empty()); }
};

TEST_F(InstancePage_, AnEmptyPickDisablesBothButtonsWithoutAskingAnyService) {
    EXPECT_EQ(page.Pick(""), (PageOutcome{std::nullopt, kNoButtons}));
    EXPECT_TRUE(log.empty());
}

TEST_F(InstancePage_, APickAsksTheMappedServiceForItsState) {
    manager.Add("MSSQL$SQLEXPRESS").states = {1};
    manager.Add("MSSQLSERVER").states = {4};
    EXPECT_EQ(page.Pick("SQLEXPRESS"), (PageOutcome{std::nullopt, kStartOnly}));
    EXPECT_EQ(page.Pick("MSSQLSERVER"), (PageOutcome{std::nullopt, kStopOnly}));
    EXPECT_EQ(log[1], "OpenService(#1, MSSQL$SQLEXPRESS, 4) -> #2");
}

TEST_F(InstancePage_, APickOfAnInstanceWithNoServiceShowsTheErrorWithTheServiceName) {
    EXPECT_EQ(page.Pick("GONE"), (PageOutcome{"Can not open the service(MSSQL$GONE)", std::nullopt}));
}

TEST_F(InstancePage_, AStartThatReachesRunningReportsAndEnablesStopOnly) {
    manager.Add("MSSQL$SQLEXPRESS").states = {2, 4};
    EXPECT_EQ(page.Start("SQLEXPRESS"), (PageOutcome{"【SQLEXPRESS】服务已启动!", kStopOnly}));
}

TEST_F(InstancePage_, AStartThatFallsBackToStoppedReportsAndLeavesTheButtons) {
    manager.Add("MSSQLSERVER").states = {2, 1};
    EXPECT_EQ(page.Start("MSSQLSERVER"), (PageOutcome{"【MSSQLSERVER】服务启动失败!", std::nullopt}));
}

TEST_F(InstancePage_, AStopAsksTheStateAfterwardsAndReportsStopped) {
    manager.Add("MSSQL$SQLEXPRESS").states = {3, 1};
    EXPECT_EQ(page.Stop("SQLEXPRESS"), (PageOutcome{"【SQLEXPRESS】服务已停止!", kStartOnly}));
    EXPECT_EQ(log.end()[-5], "OpenManager(ServicesActive, 1) -> #3");
}

TEST_F(InstancePage_, ARefusedStopReportsTheFailureAndLeavesTheButtons) {
    auto& service = manager.Add("MSSQLSERVER");
    service.acceptsStop = false;
    service.states = {4};
    EXPECT_EQ(page.Stop("MSSQLSERVER"), (PageOutcome{"【MSSQLSERVER】服务停止失败!", std::nullopt}));
}

TEST_F(InstancePage_, AStopOfAnInstanceWithNoServiceReportsTheFailure) {
    EXPECT_EQ(page.Stop("GONE"), (PageOutcome{"【GONE】服务停止失败!", std::nullopt}));
}

TEST_F(InstancePage_, APickInsideAStartWaitAnswersForItsOwnInstance) {
    // The user picks another entry while the first one starts: the pick is
    // answered at once, and the start still reports on the instance it began with.
    manager.Add("MSSQL$A").states = {2, 4};
    manager.Add("MSSQL$B").states = {1};
    PageOutcome picked;
    waiting.duringNextPump = [&] { picked = page.Pick("B"); };
    EXPECT_EQ(page.Start("A"), (PageOutcome{"【A】服务已启动!", kStopOnly}));
    EXPECT_EQ(picked, (PageOutcome{std::nullopt, kStartOnly}));
}

}  // namespace
}  // namespace qm::sqlserver

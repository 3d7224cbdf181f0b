#include "tomcat/process_shutdown.h"

#include "unit/services_fakes.h"
#include "unit/tomcat_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::tomcat {
namespace {

using test::FakeProcessEnvironment;
using test::FakeProcessTable;
using test::FakeServiceStopper;
using test::FakeWaiting;
using test::Journal;

TEST(LooksLikeJavaOrTomcat, MatchesEitherWordInAnyCase) {
    EXPECT_TRUE(LooksLikeJavaOrTomcat("javaw.exe"));
    EXPECT_TRUE(LooksLikeJavaOrTomcat("JAVAW.EXE"));
    EXPECT_TRUE(LooksLikeJavaOrTomcat("tomcat6.exe"));
    EXPECT_TRUE(LooksLikeJavaOrTomcat("Tomcat6w.exe"));
    EXPECT_FALSE(LooksLikeJavaOrTomcat("java.exe"));
    EXPECT_FALSE(LooksLikeJavaOrTomcat("jav aw.exe"));
    EXPECT_FALSE(LooksLikeJavaOrTomcat(""));
}

// --- The shutdown -----------------------------------------------------------

class CloseTomcatProcessTest : public ::testing::Test {
protected:
    Journal journal;
    FakeServiceStopper service{&journal};
    FakeProcessTable table{&journal};
    FakeProcessEnvironment environment;
    FakeWaiting waiting{journal};

    void SetUp() override {
        environment.variables["JAVA_HOME"] = "C:\\jdk";
        environment.variables["CATALINA_HOME"] = "C:\\tomcat";
    }
    bool Close() { return CloseTomcatProcess(service, "tomcat6", table, environment, waiting); }
};

TEST_F(CloseTomcatProcessTest, StopsTheServiceBeforeLookingAtProcesses) {
    EXPECT_TRUE(Close());
    EXPECT_EQ(journal, (Journal{"stop service tomcat6", "snapshot"}));
}

TEST_F(CloseTomcatProcessTest, EndsExactlyThoseOfTheConfiguredInstallations) {
    table.Add(10, "javaw.exe", "C:\\jdk\\bin\\javaw.exe");
    table.Add(11, "JAVAW.EXE", "C:\\JDK\\jre\\bin\\JAVAW.EXE");
    table.Add(12, "javaw.exe", "C:\\jdk2\\bin\\javaw.exe");
    table.Add(13, "java.exe", "C:\\jdk\\bin\\java.exe");
    table.Add(14, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    table.Add(15, "tomcat6.exe", "C:\\tomcat-old\\bin\\tomcat6.exe");
    // Each rule goes by its own variable: a javaw below Tomcat is not Java's.
    table.Add(16, "javaw.exe", "C:\\tomcat\\bin\\javaw.exe");
    table.Add(17, "tomcat6.exe", "C:\\jdk\\bin\\tomcat6.exe");
    table.Add(18, "notepad.exe", "C:\\jdk\\bin\\notepad.exe");

    EXPECT_TRUE(Close());
    EXPECT_EQ(table.ended, (std::set<std::uint32_t>{10, 11, 14}));
    EXPECT_EQ(table.openHandles, 0);
}

TEST_F(CloseTomcatProcessTest, TriesANameWithBothWordsByEitherRule) {
    table.Add(20, "tomcat-javaw.exe", "C:\\jdk\\bin\\tomcat-javaw.exe");
    table.Add(21, "javaw-tomcat.exe", "C:\\tomcat\\bin\\javaw-tomcat.exe");
    table.Add(22, "javawtomcat.exe", "C:\\elsewhere\\javawtomcat.exe");
    EXPECT_TRUE(Close());
    EXPECT_EQ(table.ended, (std::set<std::uint32_t>{20, 21}));
}

TEST_F(CloseTomcatProcessTest, ReadsTheVariablesForEachProcess) {
    table.Add(30, "javaw.exe", "C:\\jdk\\bin\\javaw.exe");
    table.Add(31, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    table.Add(32, "notepad.exe", "C:\\notepad.exe");
    Close();
    EXPECT_EQ(environment.reads, 2);
}

TEST_F(CloseTomcatProcessTest, EndsNothingForUnsetVariables) {
    environment.variables.clear();
    table.Add(40, "javaw.exe", "C:\\jdk\\bin\\javaw.exe");
    table.Add(41, "tomcat6.exe", "\\bin\\tomcat6.exe");
    EXPECT_TRUE(Close());
    EXPECT_TRUE(table.terminateCalls.empty());
}

TEST_F(CloseTomcatProcessTest, WithoutAServiceOfItsOwnOnlyTheProcessesEnd) {
    service.down = false;  // another installation's, which is not ours to stop
    table.Add(45, "tomcat9.exe", "C:\\tomcat\\bin\\tomcat9.exe");
    EXPECT_TRUE(CloseTomcatProcess(service, "", table, environment, waiting));
    EXPECT_EQ(table.ended, (std::set<std::uint32_t>{45}));
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "stop service "), 0);
}

TEST_F(CloseTomcatProcessTest, NeverEndsItsOwnProcess) {
    table.ownId = 50;
    table.Add(50, "tomcat-helper.exe", "C:\\tomcat\\tomcat-helper.exe");
    table.Add(51, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    EXPECT_TRUE(Close());
    EXPECT_EQ(table.terminateCalls, (std::vector<std::uint32_t>{51}));
}

TEST_F(CloseTomcatProcessTest, SkipsProcessesThatDoNotTellTheirPathAtAll) {
    table.processes.push_back({60, "tomcat6.exe", std::nullopt, false});
    table.processes.push_back({61, "tomcat6.exe", std::nullopt, true});
    table.Add(62, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    EXPECT_TRUE(Close());
    EXPECT_EQ(table.terminateCalls, (std::vector<std::uint32_t>{62}));
}

TEST_F(CloseTomcatProcessTest, ARootAsOneInstallationEndsNothingByItsRuleButTheOtherRuleStillWorks) {
    environment.variables["JAVA_HOME"] = "D:\\";
    table.Add(64, "javaw.exe", "D:\\ide\\jre\\bin\\javaw.exe");
    table.Add(65, "tomcat7.exe", "D:\\other\\apache-tomcat-7\\bin\\tomcat7.exe");
    table.Add(66, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    EXPECT_TRUE(Close());
    EXPECT_EQ(table.ended, (std::set<std::uint32_t>{66}));
    EXPECT_EQ(journal.front(), "stop service tomcat6");
}

TEST_F(CloseTomcatProcessTest, IsNotDownWhileAMatchingProcessLives) {
    table.Add(70, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    table.processes.back().refusesTermination = true;
    table.Add(71, "javaw.exe", "C:\\jdk\\bin\\javaw.exe");
    EXPECT_FALSE(Close());
    // The refusal stops nothing else.
    EXPECT_EQ(table.ended, (std::set<std::uint32_t>{71}));
    EXPECT_EQ(table.openHandles, 0);
}

TEST_F(CloseTomcatProcessTest, IsNotDownWhileTheServiceRuns) {
    service.down = false;
    EXPECT_FALSE(Close());
}

TEST_F(CloseTomcatProcessTest, IsNotDownWhileAMatchItMayNotOpenRuns) {
    // A Tomcat of an elevated user or of another account.
    table.Add(80, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    table.processes.back().openable = false;
    table.Add(81, "javaw.exe", "C:\\jdk\\bin\\javaw.exe");
    EXPECT_FALSE(Close());
    EXPECT_EQ(table.terminateCalls, (std::vector<std::uint32_t>{81}));
}

TEST_F(CloseTomcatProcessTest, AProcessItMayNotOpenOutsideTheInstallationsDoesNotCount) {
    table.Add(82, "tomcat6.exe", "C:\\other\\bin\\tomcat6.exe");
    table.processes.back().openable = false;
    EXPECT_TRUE(Close());
}

TEST_F(CloseTomcatProcessTest, WaitsAtMostFiveSecondsForAnEndedProcessToGoPumpingMeanwhile) {
    table.Add(90, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    table.processes.back().refusesTermination = true;
    table.Add(91, "javaw.exe", "C:\\jdk\\bin\\javaw.exe");
    table.processes.back().refusesTermination = true;
    EXPECT_FALSE(Close());
    EXPECT_EQ(table.waited, std::chrono::milliseconds(5000));
    EXPECT_EQ(test::CountStartingWith(journal, "Pump"), 50u);
}

}  // namespace
}  // namespace qm::tomcat

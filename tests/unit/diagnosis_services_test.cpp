#include "diagnosis/diagnose.h"

#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::diagnosis {
namespace {

using test::FakeMachine;
using test::OnlyRow;
using test::RowsOf;
using ::testing::HasSubstr;

TEST(TomcatService, RunningFromThisInstallationIsFine) {
    FakeMachine machine;
    machine.services.Installed("tomcat6").state = 4;
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6").status, Status::Ok);
    EXPECT_THAT(OnlyRow(rows, "服务 tomcat6").explanation, HasSubstr("运行中"));
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 程序").status, Status::Ok);
}

TEST(TomcatService, TheInstallersNameRunningAnotherInstallationNamesThatInstallation) {
    FakeMachine machine;
    machine.services.Installed("tomcat6").binaryPath = "D:\\tomcat6-old\\bin\\tomcat6.exe //RS//tomcat6";
    const auto rows = machine.Diagnose();
    const Row row = OnlyRow(rows, "服务 tomcat6");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("D:\\tomcat6-old\\bin\\tomcat6.exe，属于另一个 Tomcat 安装（D:\\tomcat6-old）"));
    EXPECT_TRUE(RowsOf(rows, "服务 tomcat6 设置").empty());
}

TEST(TomcatService, AFailedStartShowsTheExitCodes) {
    FakeMachine machine;
    machine.services.Installed("tomcat6").win32ExitCode = 1066;
    machine.services.Installed("tomcat6").serviceExitCode = 1;
    const Row row = OnlyRow(machine.Diagnose(), "服务 tomcat6");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("服务以它自己的退出代码 1 结束"));
}

TEST(TomcatService, MissingListsOtherTomcatServices) {
    FakeMachine machine;
    machine.services.installed.clear();
    machine.services.Install("Tomcat9", "\"C:\\Program Files\\Tomcat 9\\bin\\Tomcat9.exe\" //RS//Tomcat9", 1);
    machine.services.Install("Spooler", "C:\\Windows\\System32\\spoolsv.exe", 4);
    const Row row = OnlyRow(machine.Diagnose(), "服务 tomcat6");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("Tomcat9（C:\\Program Files\\Tomcat 9\\bin\\Tomcat9.exe）"));
    EXPECT_THAT(row.explanation, ::testing::Not(HasSubstr("Spooler")));
}

TEST(TomcatService, ARefusedQuerySaysSo) {
    FakeMachine machine;
    machine.services.refused["tomcat6"] = 5;
    const Row row = OnlyRow(machine.Diagnose(), "服务 tomcat6");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("错误代码 5"));
}

TEST(TomcatProcesses, AJavaFoundByItsCommandLineIsANotice) {
    FakeMachine machine;
    machine.processes.Add(900, "java.exe", "C:\\Program Files\\Java\\jre6\\bin\\java.exe",
                          "java -Dcatalina.base=" + machine.catalinaHome + "\\ -Dcatalina.home=D:\\x Bootstrap");
    machine.processes.Add(901, "java.exe", "C:\\tools\\java.exe", "java -Dcatalina.home=D:\\other Bootstrap");
    const auto rows = machine.Diagnose();
    const Row row = OnlyRow(rows, "进程 java.exe");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("PID 900，C:\\Program Files\\Java\\jre6\\bin\\java.exe"));
    EXPECT_TRUE(RowsOf(rows, "Tomcat 进程").empty());
}

TEST(TomcatProcesses, RunnersAndJavawOfThisInstallationAreListed) {
    FakeMachine machine;
    machine.processes.Add(10, "tomcat6.exe", machine.catalinaHome + "\\bin\\tomcat6.exe");
    machine.processes.Add(11, "javaw.exe", "C:\\jdk\\bin\\javaw.exe");
    machine.processes.Add(12, "notepad.exe", machine.catalinaHome + "\\notepad.exe");
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "进程 tomcat6.exe").status, Status::Ok);
    EXPECT_EQ(OnlyRow(rows, "进程 javaw.exe").status, Status::Ok);
    EXPECT_TRUE(RowsOf(rows, "进程 notepad.exe").empty());
}

TEST(TomcatProcesses, NoneRunningIsOneRow) {
    FakeMachine machine;
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "Tomcat 进程").status, Status::Ok);
}

}  // namespace
}  // namespace qm::diagnosis

#include "diagnosis/diagnose.h"

#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::diagnosis {
namespace {

using test::FakeMachine;
using test::OnlyRow;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(PortChecks, FreePortsAreFine) {
    FakeMachine machine;
    const auto rows = machine.Diagnose();
    for (std::string_view item : {"端口 8005", "端口 8080", "端口 8009"})
        EXPECT_EQ(OnlyRow(rows, item).status, Status::Ok) << item;
    EXPECT_THAT(OnlyRow(rows, "端口 8080").explanation, HasSubstr("空闲"));
}

TEST(PortChecks, APortHeldByThisInstallationSaysTomcatRuns) {
    FakeMachine machine;
    machine.processes.Add(4321, "tomcat6.exe", machine.catalinaHome + "\\bin\\tomcat6.exe");
    machine.network.listeners = std::vector<TcpListener>{{8080, 0}, {8080, 4321}};
    const Row row = OnlyRow(machine.Diagnose(), "端口 8080");
    EXPECT_EQ(row.status, Status::Ok);
    EXPECT_THAT(row.explanation, HasSubstr("Tomcat 正在运行"));
    EXPECT_THAT(row.explanation, HasSubstr("PID 4321"));
}

TEST(PortChecks, APortHeldByAnotherProgramNamesItAndItsService) {
    FakeMachine machine;
    machine.processes.Add(6000, "httpd.exe", "C:\\Apache24\\bin\\httpd.exe");
    machine.processes.Add(4321, "tomcat6.exe", machine.catalinaHome + "\\bin\\tomcat6.exe");
    machine.services.Install("Apache2.4", "\"C:\\Apache24\\bin\\httpd.exe\" -k runservice", 4, 6000);
    machine.network.listeners = std::vector<TcpListener>{{8080, 6000}};
    const Row row = OnlyRow(machine.Diagnose(), "端口 8080");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("端口 8080"));
    EXPECT_THAT(row.explanation, HasSubstr("占用"));
    EXPECT_THAT(row.explanation, HasSubstr("httpd.exe（PID 6000，C:\\Apache24\\bin\\httpd.exe）"));
    EXPECT_THAT(row.explanation, HasSubstr("服务 Apache2.4"));
}

TEST(PortChecks, AJavaStartedForThisInstallationHoldsItsPort) {
    FakeMachine machine;
    machine.processes.Add(77, "java.exe", "D:\\other-jre\\bin\\java.exe",
                          "\"D:\\other-jre\\bin\\java.exe\" -Dcatalina.home=\"" + machine.catalinaHome +
                              "\" org.apache.catalina.startup.Bootstrap start");
    machine.network.listeners = std::vector<TcpListener>{{8080, 77}};
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "端口 8080").status, Status::Ok);
}

TEST(PortChecks, AnOwnerTheSystemDoesNotNameIsAnotherProgram) {
    FakeMachine machine;
    machine.network.listeners = std::vector<TcpListener>{{8080, 0}};
    const Row row = OnlyRow(machine.Diagnose(), "端口 8080");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("被其他程序占用"));
}

TEST(PortChecks, ATakenBindWithoutAListenerIsAnotherProgram) {
    FakeMachine machine;
    machine.network.listeners.reset();
    machine.network.binds[8009] = BindOutcome::Taken;
    const auto rows = machine.Diagnose();
    EXPECT_THAT(OnlyRow(rows, "端口 8009").explanation, HasSubstr("被其他程序占用"));
    EXPECT_EQ(OnlyRow(rows, "端口 8080").status, Status::Ok);
}

TEST(PortChecks, AnUnknownOwnerWhileThisTomcatRunsIsOnlyANotice) {
    FakeMachine machine;
    machine.processes.Add(4321, "tomcat6.exe", machine.catalinaHome + "\\bin\\tomcat6.exe");
    machine.network.listeners = std::vector<TcpListener>{{8080, 0}};
    const Row row = OnlyRow(machine.Diagnose(), "端口 8080");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, Not(HasSubstr("被其他程序占用")));
}

TEST(PortChecks, AFailedBindTestSaysItCouldNotCheck) {
    FakeMachine machine;
    machine.network.binds[8080] = BindOutcome::Unknown;
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "端口 8080").status, Status::Notice);
}

}  // namespace
}  // namespace qm::diagnosis

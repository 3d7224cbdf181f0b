#include "diagnosis/diagnose.h"

#include "unit/diagnosis_fakes.h"

#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::diagnosis {
namespace {

using test::FakeMachine;
using test::OnlyRow;
using test::PeImage;
using test::RowsOf;
using ::testing::HasSubstr;

TEST(TomcatChecks, AWorkingInstallationListsItsPorts) {
    FakeMachine machine;
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "CATALINA_HOME").status, Status::Ok);
    EXPECT_EQ(OnlyRow(rows, "tomcat6.exe").status, Status::Ok);
    const Row serverXml = OnlyRow(rows, "server.xml");
    EXPECT_EQ(serverXml.status, Status::Ok);
    EXPECT_THAT(serverXml.explanation, HasSubstr("关闭端口 8005，HTTP/1.1 8080，AJP/1.3 8009"));
}

TEST(ServerXml, TheRowNamesTheFileWithBackslashesOnly) {
    FakeMachine machine;
    std::string home = machine.catalinaHome;
    std::replace(home.begin(), home.end(), '/', '\\');
    EXPECT_THAT(OnlyRow(machine.Diagnose(), "server.xml").explanation,
                ::testing::StartsWith(home + "\\conf\\server.xml："));
}

TEST(TomcatChecks, A32BitRunnerBesideA64BitJvmIsAnErrorNamingBoth) {
    FakeMachine machine;
    machine.files.files[machine.catalinaHome + "\\bin\\tomcat6.exe"] = PeImage(Bitness::Bits32);
    const Row row = OnlyRow(machine.Diagnose(), "tomcat6.exe");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("tomcat6.exe 为 32 位，JVM 为 64 位"));
}

TEST(ServerXml, APortUsedTwiceIsAnErrorAndCheckedOnce) {
    FakeMachine machine;
    machine.WriteServerXml(
        "<?xml version='1.0'?><Server port='-1'><Service name='Catalina'>"
        "<Connector port='8080' protocol='HTTP/1.1'/><Connector port='8080' protocol='AJP/1.3'/>"
        "</Service></Server>");
    const auto rows = machine.Diagnose();
    const Row twice = OnlyRow(rows, "server.xml 端口");
    EXPECT_EQ(twice.status, Status::Error);
    EXPECT_THAT(twice.explanation, HasSubstr("端口 8080"));
    EXPECT_THAT(twice.explanation, HasSubstr("2 次"));
    EXPECT_EQ(RowsOf(rows, "端口 8080").size(), 1u);
    EXPECT_TRUE(RowsOf(rows, "端口 8005").empty());  // -1: no shutdown port
}

TEST(ServerXml, AFileThatDoesNotLoadIsAnError) {
    FakeMachine machine;
    machine.WriteServerXml("<Server port='8005'><Service>");
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "server.xml").status, Status::Error);
}

TEST(Logs, TheLastFailureLineOfTheNewestLogIsShown) {
    FakeMachine machine;
    const std::string logs = machine.catalinaHome + "\\logs";
    machine.files.listings[logs] = {
        {"catalina.2026-12-07.log", false, 200}, {"old", true, 900}, {"catalina.2026-12-06.log", false, 100}};
    machine.files.files[logs + "\\catalina.2026-12-07.log"] =
        "信息: Initializing Coyote HTTP/1.1 on http-8080\r\n"
        "SEVERE: Error initializing endpoint\r\n"
        "java.net.BindException: Address already in use: JVM_Bind <null>:8080\r\n"
        "\tat org.apache.tomcat.util.net.JIoEndpoint.init(JIoEndpoint.java:549)\r\n";
    const Row row = OnlyRow(machine.Diagnose(), "日志 · catalina");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("catalina.2026-12-07.log"));
    EXPECT_THAT(row.explanation, HasSubstr("：SEVERE: Error initializing endpoint … java.net.BindException: Address already in use: "
                                           "JVM_Bind <null>:8080"));
}

TEST(Logs, ALineInTheSystemCodePageIsShownReadable) {
    FakeMachine machine;
    const std::string logs = machine.catalinaHome + "\\logs";
    machine.files.listings[logs] = {{"catalina.log", false, 1}};
    machine.files.files[logs + "\\catalina.log"] = "\xD1\xCF\xD6\xD8: Error starting endpoint\n";  // GBK 严重
    EXPECT_THAT(OnlyRow(machine.Diagnose(), "日志 · catalina").explanation, HasSubstr("：严重: Error starting endpoint"));
}

TEST(Logs, AQuietLogIsFine) {
    FakeMachine machine;
    const std::string logs = machine.catalinaHome + "\\logs";
    machine.files.listings[logs] = {{"catalina.log", false, 1}};
    machine.files.files[logs + "\\catalina.log"] = "INFO: Server startup in 812 ms\n";
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "日志").status, Status::Ok);
}

}  // namespace
}  // namespace qm::diagnosis

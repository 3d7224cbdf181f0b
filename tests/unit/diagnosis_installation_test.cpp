// The diagnosis on Tomcats newer than 6: the version row, Java against the
// version, the runner that is really there, and the service that runs it.
#include "diagnosis/diagnose.h"

#include "diagnosis/checks.h"
#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::diagnosis {
namespace {

using test::FakeMachine;
using test::OnlyRow;
using test::PeImage;
using test::RowsOf;
using ::testing::HasSubstr;

// The machine's Tomcat 6 replaced by what Tomcat's installer leaves, under
// the given version and service name.
void InstallTomcat(FakeMachine& machine, int major, const std::string& version, const std::string& service) {
    const std::string bin = machine.catalinaHome + "\\bin";
    const std::string runner = "tomcat" + std::to_string(major) + ".exe";
    machine.files.files.erase(bin + "\\tomcat6.exe");
    machine.files.files[bin + "\\" + runner] = PeImage(Bitness::Bits64);
    machine.files.files[bin + "\\tomcat" + std::to_string(major) + "w.exe"] = PeImage(Bitness::Bits32);
    machine.files.listings[bin] = {{runner}, {"tomcat" + std::to_string(major) + "w.exe"}};
    machine.files.files[machine.catalinaHome + "\\RELEASE-NOTES"] = "     Apache Tomcat Version " + version + "\n";
    machine.services.installed.clear();
    machine.services.Install(service, "\"" + bin + "\\" + runner + "\" //RS//" + service, 1);
}

void SetJava(FakeMachine& machine, const std::string& version) {
    machine.files.files["C:\\jdk\\release"] = "JAVA_VERSION=\"" + version + "\"\n";
}

TEST(TomcatVersion, NamesTheVersionAndTheFileItCameFrom) {
    FakeMachine machine;
    InstallTomcat(machine, 9, "9.0.85", "Tomcat9");
    const Row row = OnlyRow(machine.Diagnose(), "Tomcat 版本");
    EXPECT_EQ(row.status, Status::Ok);
    EXPECT_EQ(row.explanation, "Tomcat 9.0.85（读自 " + machine.catalinaHome + "\\RELEASE-NOTES）");
}

TEST(TomcatVersion, UnknownIsANotice) {
    FakeMachine machine;
    machine.files.files.erase(machine.catalinaHome + "\\bin\\tomcat6.exe");
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "Tomcat 版本").status, Status::Notice);
}

TEST(JavaAgainstTomcat, Java17Under101IsFine) {
    FakeMachine machine;
    InstallTomcat(machine, 10, "10.1.18", "Tomcat10");
    SetJava(machine, "17.0.2");
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "Java 版本").status, Status::Ok);
    for (const Row& row : rows) EXPECT_NE(row.status, Status::Error) << row.item << ": " << row.explanation;
}

TEST(JavaAgainstTomcat, BelowTheMinimumIsAnErrorNamingBoth) {
    FakeMachine machine;
    InstallTomcat(machine, 10, "10.1.18", "Tomcat10");
    const Row row = OnlyRow(machine.Diagnose(), "Java 版本");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_EQ(row.explanation, "Java 1.8.0_181：Tomcat 10.1.18 需要 Java 11 及以上版本");
}

TEST(JavaAgainstTomcat, WithoutATomcatVersionJavaIsNotJudged) {
    EXPECT_EQ(JavaAgainstTomcat("1.5.0", tomcat::TomcatVersion{}).status, Status::Ok);
    EXPECT_EQ(JavaAgainstTomcat("x", tomcat::TomcatVersion{}).status, Status::Notice);
}

TEST(Runner, TheRealRunnerIsNamedWithItsBitness) {
    FakeMachine machine;
    InstallTomcat(machine, 9, "9.0.85", "Tomcat9");
    const auto rows = machine.Diagnose();
    EXPECT_TRUE(RowsOf(rows, "tomcat6.exe").empty());
    const Row row = OnlyRow(rows, "tomcat9.exe");
    EXPECT_EQ(row.status, Status::Ok);
    EXPECT_EQ(row.explanation, machine.catalinaHome + "\\bin\\tomcat9.exe，64 位");
}

TEST(Runner, MissingIsAnErrorOnlyWhenAServiceRunsIt) {
    FakeMachine machine;
    machine.files.files.erase(machine.catalinaHome + "\\bin\\tomcat6.exe");
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "tomcat6.exe").status, Status::Error);
    machine.services.installed.clear();
    const Row row = OnlyRow(machine.Diagnose(), "tomcat6.exe");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("startup.bat"));
}

TEST(Service, TheRowsAreAboutTheServiceThatRunsTheInstallation) {
    FakeMachine machine;
    InstallTomcat(machine, 11, "11.0.2", "MyTomcat");
    machine.services.Installed("MyTomcat").state = 4;
    SetJava(machine, "17.0.2");
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "服务 MyTomcat").status, Status::Ok);
    EXPECT_EQ(OnlyRow(rows, "服务 MyTomcat 程序").status, Status::Ok);
    EXPECT_TRUE(RowsOf(rows, "服务 tomcat6").empty());
}

TEST(Service, WithoutOneTheInstallersNameIsReported) {
    FakeMachine machine;
    InstallTomcat(machine, 9, "9.0.85", "Tomcat9");
    machine.services.installed.clear();
    const Row row = OnlyRow(machine.Diagnose(), "服务 Tomcat9");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("没有安装服务 Tomcat9"));
}

}  // namespace
}  // namespace qm::diagnosis

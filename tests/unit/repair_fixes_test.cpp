// Which rows of the report carry a fix, and what each would change to.
#include "diagnosis/diagnose.h"

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

const std::string kJavaKey = FakeMachine::ServiceSettingsKey("Java");

const SettingFix& SettingOf(const Row& row) {
    if (!row.fix || !std::holds_alternative<SettingFix>(*row.fix))
        throw std::runtime_error(row.item + " has no setting fix");
    return std::get<SettingFix>(*row.fix);
}

TEST(RepairFixes, AMissingJvmBecomesJavaHomesOfTheRunnersBitness) {
    FakeMachine machine;
    machine.SetServiceSetting("Java", "Jvm", "C:\\old\\jvm.dll");
    const SettingFix fix = SettingOf(OnlyRow(machine.Diagnose(), "服务 tomcat6 JVM"));
    // JAVA_HOME has no bin\server: jre\bin\server comes next.
    EXPECT_EQ(fix, (SettingFix{"tomcat6", kJavaKey, "Jvm", RegistryView::Wow32, StringValue("C:\\old\\jvm.dll"),
                               StringValue("C:\\jdk\\jre\\bin\\server\\jvm.dll"), fix.change, fix.undo}));
    EXPECT_EQ(fix.change, "将服务 tomcat6 的 Jvm 从 C:\\old\\jvm.dll 改为 C:\\jdk\\jre\\bin\\server\\jvm.dll。");

    // No JVM of the runner's bitness in JAVA_HOME: nothing certain to set.
    machine.files.files[machine.catalinaHome + "\\bin\\tomcat6.exe"] = PeImage(Bitness::Bits32);
    EXPECT_FALSE(OnlyRow(machine.Diagnose(), "服务 tomcat6 JVM").fix);
}

TEST(RepairFixes, TooLargeA32BitHeapBecomes1024) {
    FakeMachine machine;
    machine.files.files["C:\\jdk\\jre\\bin\\server\\jvm.dll"] = PeImage(Bitness::Bits32);
    machine.files.files[machine.catalinaHome + "\\bin\\tomcat6.exe"] = PeImage(Bitness::Bits32);
    machine.registry.dwords[{kJavaKey, "JvmMx", RegistryView::Wow32}] = 2048;
    const SettingFix fix = SettingOf(OnlyRow(machine.Diagnose(), "服务 tomcat6 内存"));
    EXPECT_EQ(std::pair(fix.seen, fix.wanted), std::pair(std::optional(DwordValue(2048)), DwordValue(1024)));
}

TEST(RepairFixes, EndorsedDirsLeaveTheOptionsOfJava9AndLater) {
    FakeMachine machine;
    machine.files.files["C:\\jdk\\release"] = "JAVA_VERSION=\"11.0.2\"\n";
    const SettingFix fix = SettingOf(OnlyRow(machine.Diagnose(), "服务 tomcat6 选项"));
    EXPECT_EQ(fix.wanted, MultiStringValue({"-Dcatalina.home=C:\\tomcat6", "-Dcatalina.base=C:\\tomcat6"}));
    EXPECT_THAT(fix.change, HasSubstr("删除 -Djava.endorsed.dirs=C:\\tomcat6\\endorsed"));
}

TEST(RepairFixes, ACatalinaBaseElsewhereBecomesCatalinaHomeAndSaysWhatIsLost) {
    FakeMachine machine;
    machine.registry.multiStrings[{kJavaKey, "Options", RegistryView::Wow32}] = {"-Dcatalina.base=D:\\second",
                                                                                 "-Xss512k"};
    const SettingFix fix = SettingOf(OnlyRow(machine.Diagnose(), "服务 tomcat6 选项"));
    EXPECT_EQ(fix.seen, MultiStringValue({"-Dcatalina.base=D:\\second", "-Xss512k"}));
    EXPECT_EQ(fix.wanted, MultiStringValue({"-Dcatalina.base=C:\\tomcat6", "-Xss512k"}));
    EXPECT_THAT(fix.change, HasSubstr("D:\\second 为 catalina.base 的配置"));
}

TEST(RepairFixes, AClasspathWithoutItsBootstrapJarNamesTheInstallationsJars) {
    FakeMachine machine;
    machine.files.files[machine.catalinaHome + "\\bin\\tomcat-juli.jar"] = "";
    machine.files.files["C:\\lib\\extra.jar"] = "";
    machine.SetServiceSetting("Java", "Classpath", "D:\\gone\\bin\\bootstrap.jar;C:\\lib\\extra.jar");
    const SettingFix fix = SettingOf(OnlyRow(machine.Diagnose(), "服务 tomcat6 Classpath"));
    EXPECT_EQ(fix.wanted,
              StringValue("C:\\tomcat6\\bin\\bootstrap.jar;C:\\tomcat6\\bin\\tomcat-juli.jar;C:\\lib\\extra.jar"));

    // Missing altogether, it is created; another missing entry is no bootstrap.jar to mend.
    machine.registry.strings.erase({kJavaKey, "Classpath", RegistryView::Wow32});
    EXPECT_EQ(SettingOf(OnlyRow(machine.Diagnose(), "服务 tomcat6 Classpath")).seen, std::nullopt);
    machine.SetServiceSetting("Java", "Classpath", "C:\\tomcat6\\bin\\bootstrap.jar;C:\\gone.jar");
    EXPECT_FALSE(OnlyRow(machine.Diagnose(), "服务 tomcat6 Classpath").fix);
}

TEST(RepairFixes, AHeldConnectorPortMovesToTheFirstFreePortAbove) {
    FakeMachine machine;
    machine.network.listeners = {{8080, 0}, {8081, 0}};
    machine.network.binds = {{8080, BindOutcome::Taken}, {8082, BindOutcome::Taken}};
    const Row row = OnlyRow(machine.Diagnose(), "端口 8080");
    ASSERT_TRUE(row.fix);
    // 8081 listens, 8082 won't bind, 8083 is free.
    EXPECT_EQ(std::get<PortFix>(*row.fix), (PortFix{"C:\\tomcat6/conf/server.xml", 0, "HTTP/1.1", 8080, 8083, true}));

    // The shutdown port is no connector's.
    machine.network.listeners = {{8005, 0}};
    EXPECT_FALSE(OnlyRow(machine.Diagnose(), "端口 8005").fix);
}

TEST(RepairFixes, TheSecondConnectorOnOnePortMoves) {
    FakeMachine machine;
    machine.WriteServerXml(
        "<Server port=\"8005\"><Service><Connector port=\"8080\"/><Connector port=\"8080\" protocol=\"AJP/1.3\"/>"
        "</Service></Server>");
    const Row row = OnlyRow(machine.Diagnose(), "server.xml 端口");
    ASSERT_TRUE(row.fix);
    EXPECT_EQ(std::get<PortFix>(*row.fix), (PortFix{"C:\\tomcat6/conf/server.xml", 1, "AJP/1.3", 8080, 8081, false}));
}

TEST(RepairFixes, ALeftoverJavaExeIsEndedOnlyWhenItCanBeToldApart) {
    FakeMachine machine;
    machine.processes.processes.push_back({40, "java.exe", "C:\\jdk\\bin\\java.exe", std::nullopt, 1234});
    const Row row = OnlyRow(machine.Diagnose(), "进程 java.exe");
    ASSERT_TRUE(row.fix);
    EXPECT_EQ(std::get<ProcessFix>(*row.fix), (ProcessFix{40, 1234, "C:\\jdk\\bin\\java.exe", "java.exe"}));
    machine.processes.processes.back().startTime = 0;
    EXPECT_FALSE(OnlyRow(machine.Diagnose(), "进程 java.exe").fix);
}

TEST(RepairFixes, AWorkingInstallationCarriesNone) {
    FakeMachine machine;
    for (const Row& row : machine.Diagnose()) EXPECT_FALSE(row.fix) << row.item;
}

}  // namespace
}  // namespace qm::diagnosis

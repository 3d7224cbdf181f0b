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
using ::testing::HasSubstr;

const std::string kJavaKey = FakeMachine::ServiceSettingsKey("Java");

template <typename Kind>
Kind FixOf(const std::vector<Row>& rows, std::string_view item) {
    const Row row = OnlyRow(rows, item);
    if (!row.fix || !std::holds_alternative<Kind>(*row.fix)) throw std::runtime_error(row.item + ": no such fix");
    return std::get<Kind>(*row.fix);
}

TEST(RepairFixes, AMissingJvmBecomesJavaHomesOfTheRunnersBitness) {
    FakeMachine machine;
    machine.SetServiceSetting("Java", "Jvm", "C:\\old\\jvm.dll");
    const auto fix = FixOf<SettingFix>(machine.Diagnose(), "服务 tomcat6 JVM");
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
    const auto fix = FixOf<SettingFix>(machine.Diagnose(), "服务 tomcat6 内存");
    EXPECT_EQ(std::pair(fix.seen, fix.wanted), std::pair(std::optional(DwordValue(2048)), DwordValue(1024)));
}

TEST(RepairFixes, EndorsedDirsLeaveTheOptionsOfJava9AndLater) {
    FakeMachine machine;
    machine.files.files["C:\\jdk\\release"] = "JAVA_VERSION=\"11.0.2\"\n";
    EXPECT_EQ(FixOf<SettingFix>(machine.Diagnose(), "服务 tomcat6 选项").wanted,
              MultiStringValue({"-Dcatalina.home=C:\\tomcat6", "-Dcatalina.base=C:\\tomcat6"}));
}

TEST(RepairFixes, ACatalinaBaseElsewhereBecomesCatalinaHomeAndSaysWhatIsLost) {
    FakeMachine machine;
    machine.registry.multiStrings[{kJavaKey, "Options", RegistryView::Wow32}] = {"-Dcatalina.base=D:\\2", "-Xss1m"};
    const auto fix = FixOf<SettingFix>(machine.Diagnose(), "服务 tomcat6 选项");
    EXPECT_EQ(fix.seen, MultiStringValue({"-Dcatalina.base=D:\\2", "-Xss1m"}));
    EXPECT_EQ(fix.wanted, MultiStringValue({"-Dcatalina.base=C:\\tomcat6", "-Xss1m"}));
    EXPECT_THAT(fix.change, HasSubstr("D:\\2 为 catalina.base 的配置"));
}

TEST(RepairFixes, AClasspathWithoutItsBootstrapJarNamesTheInstallationsJars) {
    FakeMachine machine;
    machine.files.files[machine.catalinaHome + "\\bin\\tomcat-juli.jar"] = "";
    machine.files.files["C:\\lib\\extra.jar"] = "";
    machine.SetServiceSetting("Java", "Classpath", "D:\\gone\\bin\\bootstrap.jar;C:\\lib\\extra.jar");
    EXPECT_EQ(FixOf<SettingFix>(machine.Diagnose(), "服务 tomcat6 Classpath").wanted,
              StringValue("C:\\tomcat6\\bin\\bootstrap.jar;C:\\tomcat6\\bin\\tomcat-juli.jar;C:\\lib\\extra.jar"));
    // Missing altogether, it is created; another missing entry is no bootstrap.jar to mend.
    machine.registry.strings.erase({kJavaKey, "Classpath", RegistryView::Wow32});
    EXPECT_EQ(FixOf<SettingFix>(machine.Diagnose(), "服务 tomcat6 Classpath").seen, std::nullopt);
    machine.SetServiceSetting("Java", "Classpath", "C:\\tomcat6\\bin\\bootstrap.jar;C:\\gone.jar");
    EXPECT_FALSE(OnlyRow(machine.Diagnose(), "服务 tomcat6 Classpath").fix);
}

TEST(RepairFixes, AHeldConnectorPortMovesToTheFirstFreePortAbove) {
    FakeMachine machine;
    // 8081 listens, 8082 won't bind, 8083 is free.
    machine.network.listeners = {{8080, 0}, {8081, 0}};
    machine.network.binds = {{8080, BindOutcome::Taken}, {8082, BindOutcome::Taken}};
    EXPECT_EQ(FixOf<PortFix>(machine.Diagnose(), "端口 8080"),
              (PortFix{"C:\\tomcat6/conf/server.xml", 0, "HTTP/1.1", 8080, 8083, true}));
    // The shutdown port is no connector's.
    machine.network.listeners = {{8005, 0}};
    EXPECT_FALSE(OnlyRow(machine.Diagnose(), "端口 8005").fix);
}

TEST(RepairFixes, TheSecondConnectorOnOnePortMoves) {
    FakeMachine machine;
    machine.WriteServerXml(
        "<Server port=\"8005\"><Service><Connector port=\"8080\"/>"
        "<Connector port=\"8080\" protocol=\"AJP/1.3\"/></Service></Server>");
    EXPECT_EQ(FixOf<PortFix>(machine.Diagnose(), "server.xml 端口"),
              (PortFix{"C:\\tomcat6/conf/server.xml", 1, "AJP/1.3", 8080, 8081, false}));
}

TEST(RepairFixes, ALeftoverJavaExeIsEndedOnlyWhenItCanBeToldApart) {
    FakeMachine machine;
    machine.processes.processes.push_back({40, "java.exe", "C:\\jdk\\bin\\java.exe", std::nullopt, 1234});
    EXPECT_EQ(FixOf<ProcessFix>(machine.Diagnose(), "进程 java.exe"),
              (ProcessFix{40, 1234, "C:\\jdk\\bin\\java.exe", "java.exe"}));
    machine.processes.processes.back().startTime = 0;
    EXPECT_FALSE(OnlyRow(machine.Diagnose(), "进程 java.exe").fix);
}

TEST(RepairFixes, AWorkingInstallationCarriesNone) {
    FakeMachine machine;
    for (const Row& row : machine.Diagnose()) EXPECT_FALSE(row.fix) << row.item;
}

}  // namespace
}  // namespace qm::diagnosis

// The service runner's own settings of service tomcat6, over a fake registry.
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

constexpr std::string_view kSettingsRows[] = {"服务 tomcat6 JVM", "服务 tomcat6 Java 版本", "服务 tomcat6 内存",
                                              "服务 tomcat6 选项", "服务 tomcat6 Classpath"};

// A 32-bit JDK 8 in C:\jdk32, registered for "auto" in the given view.
void AddJdk32(FakeMachine& machine, RegistryView view) {
    machine.files.files["C:\\jdk32\\jre\\bin\\client\\jvm.dll"] = PeImage(Bitness::Bits32);
    machine.files.files["C:\\jdk32\\release"] = "JAVA_VERSION=\"1.8.0_181\"\n";
    machine.registry.strings[{"SOFTWARE\\JavaSoft\\Java Runtime Environment", "CurrentVersion", view}] = "1.8";
    machine.registry.strings[{"SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8", "RuntimeLib", view}] =
        "C:\\jdk32\\jre\\bin\\client\\jvm.dll";
}

void Use32BitRunner(FakeMachine& machine) {
    machine.files.files[machine.catalinaHome + "\\bin\\tomcat6.exe"] = PeImage(Bitness::Bits32);
}

TEST(ServiceSettings, AWorkingServiceIsAllOk) {
    FakeMachine machine;
    const auto rows = machine.Diagnose();
    for (std::string_view item : kSettingsRows) EXPECT_EQ(OnlyRow(rows, item).status, Status::Ok) << item;
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 JVM").explanation, "C:\\jdk\\jre\\bin\\server\\jvm.dll，64 位");
    EXPECT_TRUE(RowsOf(rows, "服务 tomcat6 JAVA_HOME").empty());
}

TEST(ServiceSettings, PathsOnAnotherMachineAreShownButNeverOpened) {
    FakeMachine machine;
    // There to be read, were they opened.
    machine.files.files["\\\\host\\jdk\\jvm.dll"] = PeImage(Bitness::Bits64);
    machine.files.directories.insert("\\\\?\\UNC\\host\\lib");
    machine.files.directories.insert("\\\\host\\logs");
    machine.files.listings["\\\\host\\logs"] = {{"commons-daemon.2026-01-01.log"}};
    machine.SetServiceSetting("Java", "Jvm", "\\\\host\\jdk\\jvm.dll");
    machine.SetServiceSetting("Java", "Classpath", machine.catalinaHome + "\\bin\\bootstrap.jar;\\\\?\\UNC\\host\\lib");
    machine.SetServiceSetting("Log", "Path", "\\\\host\\logs");
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 JVM").status, Status::Notice);
    EXPECT_THAT(OnlyRow(rows, "服务 tomcat6 JVM").explanation, HasSubstr("\\\\host\\jdk\\jvm.dll：网络或设备路径，没有检查"));
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 Classpath").status, Status::Notice);
    EXPECT_THAT(OnlyRow(rows, "服务 tomcat6 日志").explanation, HasSubstr("\\\\host\\logs：网络或设备路径"));
    for (const Row& row : RowsOf(rows, "日志")) EXPECT_THAT(row.explanation, ::testing::Not(HasSubstr("host")));
}

TEST(ServiceSettings, AutoUnderA32BitRunnerFindsNoJavaRegisteredOnlyFor64Bit) {
    FakeMachine machine;
    Use32BitRunner(machine);
    machine.SetServiceSetting("Java", "Jvm", "auto");
    machine.registry.strings[{"SOFTWARE\\JavaSoft\\JRE", "CurrentVersion", RegistryView::Native}] = "11";
    machine.registry.strings[{"SOFTWARE\\JavaSoft\\JRE\\11", "RuntimeLib", RegistryView::Native}] =
        "C:\\jdk\\jre\\bin\\server\\jvm.dll";
    const auto rows = machine.Diagnose();
    const Row row = OnlyRow(rows, "服务 tomcat6 JVM");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation,
                HasSubstr("HKLM\\SOFTWARE\\WOW6432Node\\Apache Software Foundation\\Procrun 2.0\\tomcat6"
                          "\\Parameters\\Java"));
    EXPECT_THAT(row.explanation, HasSubstr("为 auto"));
    EXPECT_THAT(row.explanation, HasSubstr("32 位"));
    EXPECT_TRUE(RowsOf(rows, "服务 tomcat6 Java 版本").empty());
}

TEST(ServiceSettings, AutoFindsTheJavaOfTheRunnersOwnView) {
    FakeMachine machine;
    Use32BitRunner(machine);
    machine.SetServiceSetting("Java", "Jvm", "auto");
    AddJdk32(machine, RegistryView::Wow32);
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 JVM").explanation,
              "C:\\jdk32\\jre\\bin\\client\\jvm.dll（Jvm 为 auto），32 位");
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 Java 版本").explanation, "Java 1.8.0_181（C:\\jdk32）");
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 JAVA_HOME").status, Status::Notice);
}

TEST(ServiceSettings, AnExplicitJvmThatIsGoneIsAnErrorNamingSettingAndPath) {
    FakeMachine machine;
    machine.environment.variables["ProgramFiles"] = "C:\\Program Files";
    machine.SetServiceSetting("Java", "Jvm", "%ProgramFiles%\\Java\\jre6\\bin\\client\\jvm.dll");
    const Row row = OnlyRow(machine.Diagnose(), "服务 tomcat6 JVM");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("服务设置 Jvm"));
    EXPECT_THAT(row.explanation, HasSubstr("C:\\Program Files\\Java\\jre6\\bin\\client\\jvm.dll 不存在"));
}

TEST(ServiceSettings, AJvmOfOtherBitnessThanTheRunnerIsAnErrorNamingBoth) {
    FakeMachine machine;
    Use32BitRunner(machine);
    const Row row = OnlyRow(machine.Diagnose(), "服务 tomcat6 JVM");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("tomcat6.exe 为 32 位"));
    EXPECT_THAT(row.explanation, HasSubstr("jvm.dll 为 64 位"));
}

TEST(ServiceSettings, TheServicesJavaIsJudgedLikeJavaHomes) {
    FakeMachine machine;
    machine.files.files["C:\\jdk\\release"] = "JAVA_VERSION=\"11.0.2\"\n";
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 Java 版本").status, Status::Error);
    // Java 11 ends the JVM at once when asked for endorsed directories.
    const Row options = OnlyRow(rows, "服务 tomcat6 选项");
    EXPECT_EQ(options.status, Status::Error);
    EXPECT_THAT(options.explanation, HasSubstr("-Djava.endorsed.dirs="));
}

TEST(ServiceSettings, HeapLimitsOfA32BitJvm) {
    FakeMachine machine;
    machine.files.files["C:\\jdk\\jre\\bin\\server\\jvm.dll"] = PeImage(Bitness::Bits32);
    Use32BitRunner(machine);
    const std::string javaKey = FakeMachine::ServiceSettingsKey("Java");
    machine.registry.dwords[{javaKey, "JvmMx", RegistryView::Wow32}] = 2048;
    Row row = OnlyRow(machine.Diagnose(), "服务 tomcat6 内存");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("JvmMx 为 2048 MB"));
    machine.registry.dwords[{javaKey, "JvmMx", RegistryView::Wow32}] = 1024;
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "服务 tomcat6 内存").status, Status::Notice);
    // The same heap is no concern for a 64-bit JVM.
    machine.registry.dwords[{javaKey, "JvmMx", RegistryView::Wow32}] = 2048;
    machine.files.files["C:\\jdk\\jre\\bin\\server\\jvm.dll"] = PeImage(Bitness::Bits64);
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "服务 tomcat6 内存").status, Status::Ok);
}

TEST(ServiceSettings, ACatalinaBaseElsewhereIsAnError) {
    FakeMachine machine;
    machine.registry.multiStrings[{FakeMachine::ServiceSettingsKey("Java"), "Options", RegistryView::Wow32}] = {
        "-Dcatalina.home=" + machine.catalinaHome + "\\", "-Dcatalina.base=D:\\old-tomcat"};
    const Row row = OnlyRow(machine.Diagnose(), "服务 tomcat6 选项");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("-Dcatalina.base=D:\\old-tomcat"));
    EXPECT_THAT(row.explanation, HasSubstr(machine.catalinaHome));
}

TEST(ServiceSettings, EachMissingClasspathEntryIsAnError) {
    FakeMachine machine;
    machine.files.files.erase(machine.catalinaHome + "\\bin\\bootstrap.jar");
    machine.files.files[machine.catalinaHome + "\\bin\\tomcat-juli.jar"] = "";
    machine.SetServiceSetting(
        "Java", "Classpath",
        machine.catalinaHome + "\\bin\\bootstrap.jar;" + machine.catalinaHome + "\\bin\\tomcat-juli.jar");
    const Row row = OnlyRow(machine.Diagnose(), "服务 tomcat6 Classpath");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr(machine.catalinaHome + "\\bin\\bootstrap.jar 不存在"));
}

TEST(ServiceSettings, SettingsOnlyInThe64BitViewAreRead) {
    FakeMachine machine;
    const auto key = FakeMachine::ServiceSettingsKey("Java");
    machine.registry.strings.erase({key, "Jvm", RegistryView::Wow32});
    machine.registry.strings.erase({FakeMachine::ServiceSettingsKey("Log"), "Path", RegistryView::Wow32});
    machine.registry.strings.erase({key, "Classpath", RegistryView::Wow32});
    machine.registry.multiStrings.clear();
    machine.registry.dwords.erase({key, "JvmMx", RegistryView::Wow32});
    machine.registry.strings[{key, "Jvm", RegistryView::Native}] = "C:\\jdk\\jre\\bin\\server\\jvm.dll";
    machine.registry.strings[{key, "Classpath", RegistryView::Native}] = machine.catalinaHome + "\\bin\\bootstrap.jar";
    const auto rows = machine.Diagnose();
    for (std::string_view item : kSettingsRows) EXPECT_EQ(OnlyRow(rows, item).status, Status::Ok) << item;
}

TEST(ServiceSettings, AServiceWithoutSettingsGetsOneNoticeAndNoOtherRow) {
    FakeMachine machine;
    machine.registry.strings.clear();
    machine.registry.dwords.clear();
    machine.registry.multiStrings.clear();
    auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "服务 tomcat6 设置").status, Status::Notice);
    for (std::string_view item : kSettingsRows) EXPECT_TRUE(RowsOf(rows, item).empty()) << item;

    FakeMachine other;
    other.services.Installed("tomcat6").binaryPath = "C:\\Windows\\system32\\svchost.exe -k tomcat";
    rows = other.Diagnose();
    const Row row = OnlyRow(rows, "服务 tomcat6 设置");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("svchost.exe"));
    for (std::string_view item : kSettingsRows) EXPECT_TRUE(RowsOf(rows, item).empty()) << item;
}

}  // namespace
}  // namespace qm::diagnosis

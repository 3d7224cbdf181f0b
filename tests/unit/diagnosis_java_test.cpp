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

TEST(JavaChecks, AWorkingJdkIsAllOk) {
    FakeMachine machine;
    const auto rows = machine.Diagnose();
    for (std::string_view item : {"JAVA_HOME", "JAVA_HOME 系统值", "java.exe", "JDK/JRE", "Java 版本", "jvm.dll"})
        EXPECT_EQ(OnlyRow(rows, item).status, Status::Ok) << item;
    EXPECT_EQ(OnlyRow(rows, "Java 版本").explanation, "Java 1.8.0_181");
    EXPECT_EQ(OnlyRow(rows, "jvm.dll").explanation, "C:\\jdk\\jre\\bin\\server\\jvm.dll，64 位");
}

TEST(JavaChecks, UnsetJavaHomeIsAnErrorAndEndsTheJavaChecks) {
    FakeMachine machine;
    machine.environment.variables.erase("JAVA_HOME");
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "JAVA_HOME").status, Status::Error);
    EXPECT_TRUE(RowsOf(rows, "jvm.dll").empty());
}

TEST(JavaChecks, AMissingDirectoryIsNamed) {
    FakeMachine machine;
    machine.files.directories.erase("C:\\jdk");
    const Row row = OnlyRow(machine.Diagnose(), "JAVA_HOME");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("C:\\jdk"));
}

TEST(JavaChecks, ADirectoryWithoutJavaExeIsNoJavaAndEndsTheJavaChecks) {
    FakeMachine machine;
    machine.files.files.erase("C:\\jdk\\bin\\java.exe");
    const auto rows = machine.Diagnose();
    const Row row = OnlyRow(rows, "JAVA_HOME");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("不是 Java 的安装目录"));
    EXPECT_TRUE(RowsOf(rows, "JDK/JRE").empty());
}

TEST(JavaChecks, AJreWithoutJavacIsANoticeSayingJre) {
    FakeMachine machine;
    machine.files.files.erase("C:\\jdk\\bin\\javac.exe");
    const Row row = OnlyRow(machine.Diagnose(), "JDK/JRE");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("JRE"));
    EXPECT_THAT(row.explanation, HasSubstr("startup.bat"));
}

TEST(JavaChecks, Java11IsAnErrorNamingTheVersion) {
    FakeMachine machine;
    machine.files.files["C:\\jdk\\release"] = "IMPLEMENTOR=\"Oracle\"\r\nJAVA_VERSION=\"11.0.2\"\r\n";
    const Row row = OnlyRow(machine.Diagnose(), "Java 版本");
    EXPECT_EQ(row.status, Status::Error);
    EXPECT_THAT(row.explanation, HasSubstr("11.0.2"));
    EXPECT_THAT(row.explanation, HasSubstr("Tomcat 6"));
}

TEST(JavaChecks, AnUnknownVersionIsANotice) {
    FakeMachine machine;
    machine.files.files.erase("C:\\jdk\\release");
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "Java 版本").status, Status::Notice);
}

TEST(JavaChecks, TheFirstJvmInSearchOrderGivesTheBitness) {
    FakeMachine machine;
    machine.files.files.erase("C:\\jdk\\jre\\bin\\server\\jvm.dll");
    machine.files.files["C:\\jdk\\bin\\client\\jvm.dll"] = PeImage(Bitness::Bits64);
    machine.files.files["C:\\jdk\\jre\\bin\\client\\jvm.dll"] = PeImage(Bitness::Bits32);
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "jvm.dll").explanation, "C:\\jdk\\jre\\bin\\client\\jvm.dll，32 位");
}

TEST(JavaChecks, NoJvmIsAnError) {
    FakeMachine machine;
    machine.files.files.erase("C:\\jdk\\jre\\bin\\server\\jvm.dll");
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "jvm.dll").status, Status::Error);
}

TEST(MachineValue, ADifferentValueInTheMachineKeyIsANotice) {
    FakeMachine machine;
    machine.SetMachineValue("JAVA_HOME", "D:\\jdk7");
    const Row row = OnlyRow(machine.Diagnose(), "JAVA_HOME 系统值");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("D:\\jdk7"));
    EXPECT_THAT(row.explanation, HasSubstr("C:\\jdk"));
}

TEST(MachineValue, IsExpandedAndComparedAsADirectory) {
    FakeMachine machine;
    machine.environment.variables["SystemDrive"] = "C:";
    machine.SetMachineValue("JAVA_HOME", "%SystemDrive%\\JDK\\");
    EXPECT_EQ(OnlyRow(machine.Diagnose(), "JAVA_HOME 系统值").status, Status::Ok);
}

TEST(PeBitness, ReadsTheMachineOfThePeHeader) {
    EXPECT_EQ(PeBitness(PeImage(Bitness::Bits32)), Bitness::Bits32);
    EXPECT_EQ(PeBitness(PeImage(Bitness::Bits64)), Bitness::Bits64);
}

TEST(PeBitness, RefusesWhatIsNoX86OrX64Image) {
    EXPECT_EQ(PeBitness(""), std::nullopt);
    EXPECT_EQ(PeBitness(PeImage(Bitness::Bits64).substr(0, 0x84)), std::nullopt);  // header cut short
    std::string arm = PeImage(Bitness::Bits64);
    arm[0x84] = static_cast<char>(0x64);
    arm[0x85] = static_cast<char>(0xAA);
    EXPECT_EQ(PeBitness(arm), std::nullopt);
    std::string farOffset = PeImage(Bitness::Bits64);
    farOffset[0x3F] = static_cast<char>(0x7F);
    EXPECT_EQ(PeBitness(farOffset), std::nullopt);
}

}  // namespace
}  // namespace qm::diagnosis

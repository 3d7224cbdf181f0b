#include "tomcat/environment_settings.h"

#include "unit/tomcat_fakes.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace qm::tomcat {
namespace {

using test::FakeBroadcast;
using test::FakeMachineEnvironment;
using test::FakeProcessEnvironment;
using test::Journal;

class SetEnvPathTest : public ::testing::Test {
protected:
    Journal journal;
    FakeMachineEnvironment machine{journal};
    FakeProcessEnvironment process{&journal};
    FakeBroadcast broadcast{journal};
    EnvironmentPorts ports{machine, process, broadcast};

    // After a refusal only the key was opened and closed: the registry, the
    // environment and the other programs heard nothing.
    void ExpectNothingChangedAfterKey() {
        EXPECT_EQ(journal, (Journal{"open key", "close key"}));
        EXPECT_TRUE(process.variables.empty());
        EXPECT_FALSE(machine.keyOpen);
    }
};

// --- A change that goes through ---------------------------------------------

TEST_F(SetEnvPathTest, CreatesAnAbsentValueAsExpandableTextThenSetsAndAnnounces) {
    EXPECT_EQ(SetEnvPath(ports, "JAVA_HOME", "C:\\jdk"), "修改成功!");
    EXPECT_EQ(machine.values["JAVA_HOME"].type, kRegistryExpandString);
    EXPECT_EQ(machine.texts["JAVA_HOME"], "C:\\jdk");
    // The key is closed before the environment changes and the broadcast goes out.
    EXPECT_EQ(journal, (Journal{"open key", "write JAVA_HOME=C:\\jdk", "close key", "environment JAVA_HOME=C:\\jdk",
                                "broadcast"}));
}

TEST_F(SetEnvPathTest, ReplacesAPlainStringValueByAnExpandableOne) {
    machine.PutText("CATALINA_HOME", kRegistryString, "C:\\old");
    EXPECT_EQ(SetEnvPath(ports, "CATALINA_HOME", "C:\\tomcat"), "修改成功!");
    EXPECT_EQ(machine.values["CATALINA_HOME"].type, kRegistryExpandString);
    EXPECT_EQ(machine.texts["CATALINA_HOME"], "C:\\tomcat");
    EXPECT_EQ(process.variables["CATALINA_HOME"], "C:\\tomcat");
}

TEST_F(SetEnvPathTest, ReplacesAnExpandableValue) {
    machine.PutText("JAVA_HOME", kRegistryExpandString, "%ProgramFiles%\\Java");
    EXPECT_EQ(SetEnvPath(ports, "JAVA_HOME", "D:\\jdk"), "修改成功!");
    EXPECT_EQ(machine.texts["JAVA_HOME"], "D:\\jdk");
}

TEST_F(SetEnvPathTest, OverwritesEmptyDataOfAnyType) {
    for (const auto type : {kRegistryDword, kRegistryBinary, kRegistryMultiString, 11u}) {
        machine.values["JAVA_HOME"] = {type, 0};
        EXPECT_EQ(SetEnvPath(ports, "JAVA_HOME", "C:\\jdk"), "修改成功!") << "type " << type;
        EXPECT_EQ(machine.values["JAVA_HOME"].type, kRegistryExpandString);
    }
}

TEST_F(SetEnvPathTest, StoresADriveRootWithItsBackslash) {
    EXPECT_EQ(SetEnvPath(ports, "JAVA_HOME", "D:\\"), "修改成功!");
    EXPECT_EQ(machine.texts["JAVA_HOME"], "D:\\");
    EXPECT_EQ(process.variables["JAVA_HOME"], "D:\\");
}

TEST_F(SetEnvPathTest, StoresTextExactlyAsGiven) {
    const std::string unusual = "C:\\Program Files\\中文 %PATH% \"quoted\"";
    EXPECT_EQ(SetEnvPath(ports, "CATALINA_HOME", unusual), "修改成功!");
    EXPECT_EQ(machine.texts["CATALINA_HOME"], unusual);
    EXPECT_EQ(process.variables["CATALINA_HOME"], unusual);
}

// --- Refusals ---------------------------------------------------------------

TEST_F(SetEnvPathTest, RefusesValuesOfOtherTypesWithDataNamingTheVariable) {
    for (const auto type : {kRegistryDword, kRegistryBinary, kRegistryMultiString}) {
        journal.clear();
        machine.values["CATALINA_HOME"] = {type, 4};
        EXPECT_EQ(SetEnvPath(ports, "CATALINA_HOME", "C:\\tomcat"), "Invalid data type for 'CATALINA_HOME'")
            << "type " << type;
        EXPECT_EQ(machine.values["CATALINA_HOME"].type, type);
        ExpectNothingChangedAfterKey();
    }
}

TEST_F(SetEnvPathTest, ReportsAFailingReadOfTheExistingValue) {
    machine.PutText("JAVA_HOME", kRegistryString, "C:\\old");
    machine.readFails = true;
    EXPECT_EQ(SetEnvPath(ports, "JAVA_HOME", "C:\\jdk"), "Failed to get data for 'JAVA_HOME'");
    EXPECT_EQ(machine.texts["JAVA_HOME"], "C:\\old");
    ExpectNothingChangedAfterKey();
}

TEST_F(SetEnvPathTest, DoesNotReadAnAbsentValue) {
    machine.readFails = true;
    EXPECT_EQ(SetEnvPath(ports, "JAVA_HOME", "C:\\jdk"), "修改成功!");
}

TEST_F(SetEnvPathTest, ARefusedWriteNeedsAdministrativeRights) {
    machine.writeFails = true;
    EXPECT_EQ(SetEnvPath(ports, "CATALINA_HOME", "C:\\tomcat"), "修改失败!需要管理员权限");
    EXPECT_EQ(machine.values.count("CATALINA_HOME"), 0u);
    ExpectNothingChangedAfterKey();
}

TEST_F(SetEnvPathTest, ARefusedKeyNeedsAdministrativeRightsAndChangesNothing) {
    machine.openFails = true;
    EXPECT_EQ(SetEnvPath(ports, "JAVA_HOME", "C:\\jdk"), "修改失败!需要管理员权限");
    EXPECT_TRUE(journal.empty());
    EXPECT_TRUE(process.variables.empty());
}

class ThrowingMachine : public MachineEnvironment {
public:
    std::unique_ptr<MachineEnvironmentKey> OpenOrCreateKey() override { throw std::runtime_error("out of handles"); }
};

TEST_F(SetEnvPathTest, TurnsAnUnexpectedErrorIntoTheNotice) {
    ThrowingMachine throwing;
    EXPECT_EQ(SetEnvPath({throwing, process, broadcast}, "JAVA_HOME", "C:\\jdk"), "out of handles");
    EXPECT_TRUE(journal.empty());
}

// --- The two directory buttons ----------------------------------------------

class DirectoryButtonTest : public SetEnvPathTest {
protected:
    test::FakeFolderBrowser browser;
};

TEST_F(DirectoryButtonTest, CancelChangesNothingAndShowsNothing) {
    const auto change = ChangeInstallationDirectory(kJavaHomeButton, browser, ports);
    EXPECT_EQ(change.notice, std::nullopt);
    EXPECT_EQ(change.editText, std::nullopt);
    EXPECT_TRUE(journal.empty());
}

TEST_F(DirectoryButtonTest, EachButtonAsksWithItsTitleAndSetsItsVariable) {
    browser.choice = "C:\\jdk";
    auto change = ChangeInstallationDirectory(kJavaHomeButton, browser, ports);
    EXPECT_EQ(change.notice, "修改成功!");
    EXPECT_EQ(change.editText, "C:\\jdk");
    EXPECT_EQ(process.variables["JAVA_HOME"], "C:\\jdk");

    browser.choice = "D:\\tomcat";
    change = ChangeInstallationDirectory(kTomcatHomeButton, browser, ports);
    EXPECT_EQ(change.editText, "D:\\tomcat");
    EXPECT_EQ(process.variables["CATALINA_HOME"], "D:\\tomcat");
    EXPECT_EQ(browser.titles, (std::vector<std::string>{"选择 Java JDK 安装根目录", "选择 Apache Tomcat 安装根目录"}));
}

TEST_F(DirectoryButtonTest, TheEditKeepsItsTextWhenTheChangeIsRefused) {
    browser.choice = "D:\\tomcat";
    machine.openFails = true;
    auto change = ChangeInstallationDirectory(kTomcatHomeButton, browser, ports);
    EXPECT_EQ(change.notice, "修改失败!需要管理员权限");
    EXPECT_EQ(change.editText, std::nullopt);
    EXPECT_TRUE(process.variables.empty());

    machine.openFails = false;
    machine.values["CATALINA_HOME"] = {kRegistryDword, 4};
    change = ChangeInstallationDirectory(kTomcatHomeButton, browser, ports);
    EXPECT_EQ(change.notice, "Invalid data type for 'CATALINA_HOME'");
    EXPECT_EQ(change.editText, std::nullopt);
}

}  // namespace
}  // namespace qm::tomcat

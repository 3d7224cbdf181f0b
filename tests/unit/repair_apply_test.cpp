// A fix made and undone: checked against the machine right before the write,
// backed up first, and put back exactly.
#include "repair/repair.h"

#include "unit/repair_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::repair {
namespace {

using diagnosis::Fix;
using diagnosis::PortFix;
using diagnosis::ProcessFix;
using diagnosis::SettingFix;
using diagnosis::Undo;
using ::testing::HasSubstr;

const std::string kKey = "SOFTWARE\\Apache Software Foundation\\Procrun 2.0\\Tomcat9\\Parameters\\Java";
const test::FakeRegistryWriter::Key kJvm{kKey, "Jvm", RegistryView::Wow32};

SettingFix JvmFix() {
    return {"Tomcat9",
            kKey,
            "Jvm",
            RegistryView::Wow32,
            StringValue("C:\\old\\jvm.dll"),
            StringValue("C:\\jdk\\bin\\server\\jvm.dll"),
            "将服务 Tomcat9 的 Jvm 从 C:\\old\\jvm.dll 改为 C:\\jdk\\bin\\server\\jvm.dll。",
            "将服务 Tomcat9 的 Jvm 从 C:\\jdk\\bin\\server\\jvm.dll 改回 C:\\old\\jvm.dll。"};
}

TEST(RepairSetting, ASettingChangedSinceTheDiagnosisIsLeftAsItIs) {
    test::FakeRepairPorts machine;
    auto ports = machine.Ports();
    machine.registry.values[kJvm] = StringValue("C:\\other\\jvm.dll");
    const Outcome outcome = Apply(JvmFix(), ports);
    EXPECT_EQ(outcome.result, Result::Changed);
    EXPECT_EQ(outcome.message, "情况已变化，请重新诊断");
    EXPECT_EQ(machine.registry.writes, 0);
    EXPECT_TRUE(machine.backups.files.empty());
}

TEST(RepairSetting, IsBackedUpWrittenAndPutBackExactly) {
    test::FakeRepairPorts machine;
    auto ports = machine.Ports();
    // Stored as an expandable string with two terminators: it reads as the diagnosis saw it.
    RegistryValue stored = StringValue("C:\\old\\jvm.dll", kRegistryExpandString);
    stored.data += std::string(2, '\0');
    machine.registry.values[kJvm] = stored;

    const Outcome outcome = Apply(JvmFix(), ports);
    ASSERT_EQ(outcome.result, Result::Done);
    EXPECT_EQ(machine.registry.values[kJvm], StringValue("C:\\jdk\\bin\\server\\jvm.dll"));
    ASSERT_EQ(machine.backups.files.size(), 1u);
    const std::string backup = machine.backups.files.begin()->first;
    EXPECT_EQ(backup, "2026-12-09_03-17-31_Tomcat9_Jvm.reg");

    ASSERT_TRUE(outcome.repaired);
    EXPECT_EQ(outcome.repaired->item, "本次修复");
    EXPECT_THAT(outcome.repaired->explanation, HasSubstr(machine.backups.Folder() + "\\" + backup));
    EXPECT_EQ(ButtonCaption(&*outcome.repaired), "撤销…");
    const Fix undo = *outcome.repaired->fix;
    EXPECT_THAT(Question(undo, machine.backups.Folder()), HasSubstr("改回 C:\\old\\jvm.dll"));

    // Later reports begin with it, shown first, until it is undone.
    LastRepair last;
    last.Record(outcome);
    const std::vector<diagnosis::Row> report =
        last.Before({{diagnosis::Group::Java, "JAVA_HOME", diagnosis::Status::Error, "", std::nullopt}});
    EXPECT_EQ(report.front(), *outcome.repaired);
    EXPECT_EQ(diagnosis::RowToShowFirst(report), 0u);

    const Outcome undone = Apply(undo, ports);
    ASSERT_EQ(undone.result, Result::Done);
    EXPECT_EQ(machine.registry.values[kJvm], stored);
    EXPECT_EQ(machine.backups.files.size(), 2u);
    last.Record(undone);
    EXPECT_EQ(last.Before({}).size(), 0u);
}

TEST(RepairSetting, AnUndoAfterAnotherChangeIsRefusedAndOneOfAValueNotSetRemovesIt) {
    test::FakeRepairPorts machine;
    auto ports = machine.Ports();
    SettingFix fix = JvmFix();
    fix.seen.reset();
    Outcome outcome = Apply(fix, ports);
    ASSERT_EQ(outcome.result, Result::Done);
    const Fix undo = *outcome.repaired->fix;

    machine.registry.values[kJvm] = StringValue("C:\\someone\\else.dll");
    EXPECT_EQ(Apply(undo, ports).result, Result::Changed);
    EXPECT_EQ(machine.registry.values[kJvm], StringValue("C:\\someone\\else.dll"));

    machine.registry.values[kJvm] = fix.wanted;
    EXPECT_EQ(Apply(undo, ports).result, Result::Done);
    EXPECT_EQ(machine.registry.values.count(kJvm), 0u);
}

TEST(RepairSetting, WithoutTheRightsNothingChangesAndNoBackupStays) {
    test::FakeRepairPorts machine;
    auto ports = machine.Ports();
    machine.registry.values[kJvm] = StringValue("C:\\old\\jvm.dll");
    machine.registry.denied = true;
    const Outcome outcome = Apply(JvmFix(), ports);
    EXPECT_EQ(outcome.result, Result::NeedsRights);
    EXPECT_EQ(outcome.message, "修复失败!需要管理员权限");
    EXPECT_TRUE(machine.backups.files.empty());
}

TEST(RepairPort, MovesTheConnectorOnlyWhileThePortIsStillHeldAndUndoesIt) {
    test::FakeRepairPorts machine;
    auto ports = machine.Ports();
    const std::string path = "C:\\tomcat/conf/server.xml";
    const std::string original =
        "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<Server port=\"8005\"><Service>"
        "<Connector port=\"8080\" protocol=\"HTTP/1.1\"/></Service></Server>";
    machine.files.files[path] = original;
    const PortFix fix{path, 0, "HTTP/1.1", 8080, 8081, true};

    // The other program has let go of the port meanwhile.
    EXPECT_EQ(Apply(fix, ports).result, Result::Changed);
    EXPECT_EQ(machine.files.files[path], original);

    machine.network.binds[8080] = BindOutcome::Taken;
    const Outcome outcome = Apply(fix, ports);
    ASSERT_EQ(outcome.result, Result::Done);
    EXPECT_THAT(machine.files.files[path], HasSubstr("<Connector port=\"8081\""));
    EXPECT_EQ(machine.backups.files.at("2026-12-09_03-17-31_server.xml"), original);

    ASSERT_EQ(Apply(*outcome.repaired->fix, ports).result, Result::Done);
    EXPECT_EQ(machine.files.files[path], original);
}

TEST(RepairProcess, EndsOnlyTheSameProcess) {
    test::FakeRepairPorts machine;
    auto ports = machine.Ports();
    const ProcessFix fix{40, 1234, "C:\\jdk\\bin\\java.exe", "java.exe"};
    // The identifier now belongs to a later process.
    machine.processes.processes[40] = {5678, "C:\\jdk\\bin\\java.exe"};
    EXPECT_EQ(Apply(fix, ports).result, Result::Changed);
    EXPECT_FALSE(machine.processes.processes[40].ended);

    machine.processes.processes[40] = {1234, "C:\\JDK\\bin\\java.exe"};
    const Outcome outcome = Apply(fix, ports);
    EXPECT_EQ(outcome.result, Result::Done);
    EXPECT_TRUE(machine.processes.processes[40].ended);
    // Nothing to put back.
    ASSERT_TRUE(outcome.repaired);
    EXPECT_FALSE(outcome.repaired->fix);
}

}  // namespace
}  // namespace qm::repair

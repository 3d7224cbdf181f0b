// A fix made and undone, over fakes of what it writes through: checked
// against the machine right before the write, backed up first, put back exactly.
#include "repair/repair.h"

#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::repair {
namespace {

using diagnosis::Fix;
using ::testing::HasSubstr;
using Key = std::tuple<std::string, std::string, RegistryView>;

struct FakeMachine : RegistryWriter, BackupStore, FileReplacer, ProcessEnder, Waiting {
    std::map<Key, RegistryValue> values;
    bool denied = false;
    std::map<std::string, std::string> backups;  // name -> bytes
    test::FakeFiles files;
    test::FakeNetwork network;
    std::map<std::uint32_t, std::pair<std::uint64_t, std::string>> processes;  // id -> start time, image
    std::uint32_t opened = 0;
    bool ended = false;

    RegistryOutcome Read(std::string_view k, std::string_view n, RegistryView v,
                         std::optional<RegistryValue>& value) override {
        const auto found = values.find(Key(k, n, v));
        value = found == values.end() ? std::nullopt : std::optional(found->second);
        return RegistryOutcome::Done;
    }
    RegistryOutcome Write(std::string_view k, std::string_view n, RegistryView v, const RegistryValue& value) override {
        if (!denied) values[Key(k, n, v)] = value;
        return denied ? RegistryOutcome::Denied : RegistryOutcome::Done;
    }
    RegistryOutcome Remove(std::string_view k, std::string_view n, RegistryView v) override {
        values.erase(Key(k, n, v));
        return RegistryOutcome::Done;
    }
    std::string Folder() override { return "C:\\backup"; }
    LocalTime Now() override { return {2026, 12, 9, 3, 17, 31}; }
    BackupOutcome Create(std::string_view name, std::string_view bytes, std::string& path, std::string&) override {
        if (!backups.emplace(name, bytes).second) return BackupOutcome::NameTaken;
        path = Folder() + "\\" + std::string(name);
        return BackupOutcome::Done;
    }
    void Remove(const std::string& path) override { backups.erase(path.substr(Folder().size() + 1)); }
    ReplaceOutcome Replace(const std::string& path, std::string_view bytes, std::string&) override {
        files.files[path] = std::string(bytes);
        return ReplaceOutcome::Replaced;
    }
    std::unique_ptr<EndableProcess> Open(std::uint32_t id, OpenOutcome& outcome) override {
        outcome = processes.count(id) ? OpenOutcome::Opened : OpenOutcome::Gone;
        opened = id;
        return processes.count(id) ? std::make_unique<Held>(*this) : nullptr;
    }
    void Sleep(unsigned) override {}
    void PumpPendingMessages() override {}

    struct Held : EndableProcess {
        explicit Held(FakeMachine& machine) : m(machine) {}
        std::optional<std::uint64_t> StartTime() override { return m.processes.at(m.opened).first; }
        std::optional<std::string> ImagePath() override { return m.processes.at(m.opened).second; }
        bool End() override { return m.ended = true; }
        bool WaitForExit(std::chrono::milliseconds) override { return m.ended; }
        FakeMachine& m;
    };
    RepairPorts Ports() { return {*this, network, files, *this, *this, *this, *this}; }
};

const std::string kKey = "SOFTWARE\\Apache Software Foundation\\Procrun 2.0\\Tomcat9\\Parameters\\Java";
const Key kJvm{kKey, "Jvm", RegistryView::Wow32};
// clang-format off
const diagnosis::SettingFix kJvmFix{"Tomcat9", kKey, "Jvm", RegistryView::Wow32, StringValue("C:\\old\\jvm.dll"),
                                    StringValue("C:\\jdk\\jvm.dll"), "改为 C:\\jdk\\jvm.dll", "改回 C:\\old\\jvm.dll"};
// clang-format on

class Repair : public ::testing::Test {
protected:
    FakeMachine machine;
    RepairPorts ports = machine.Ports();
};
using RepairSetting = Repair;
using RepairPort = Repair;
using RepairProcess = Repair;

TEST_F(RepairSetting, ASettingChangedSinceTheDiagnosisIsLeftAsItIs) {
    machine.values[kJvm] = StringValue("C:\\other\\jvm.dll");
    const Outcome outcome = Apply(kJvmFix, ports);
    EXPECT_EQ(outcome.result, Result::Changed);
    EXPECT_EQ(outcome.message, "情况已变化，请重新诊断");
    EXPECT_EQ(machine.values[kJvm], StringValue("C:\\other\\jvm.dll"));
    EXPECT_TRUE(machine.backups.empty());
}

TEST_F(RepairSetting, IsBackedUpWrittenShownFirstAndPutBackExactly) {
    // An expandable string with two terminators reads as the diagnosis saw it.
    RegistryValue stored = StringValue("C:\\old\\jvm.dll", kRegistryExpandString);
    stored.data += std::string(2, '\0');
    machine.values[kJvm] = stored;

    const Outcome outcome = Apply(kJvmFix, ports);
    ASSERT_EQ(outcome.result, Result::Done);
    EXPECT_EQ(machine.values[kJvm], kJvmFix.wanted);
    ASSERT_EQ(machine.backups.count("2026-12-09_03-17-31_Tomcat9_Jvm.reg"), 1u);
    ASSERT_TRUE(outcome.repaired);
    EXPECT_THAT(outcome.repaired->explanation, HasSubstr("C:\\backup\\2026-12-09_03-17-31_Tomcat9_Jvm.reg"));
    EXPECT_EQ(ButtonCaption(&*outcome.repaired), "撤销…");
    LastRepair last;
    last.Record(outcome);
    const auto report = last.Before({{diagnosis::Group::Java, "JAVA_HOME", diagnosis::Status::Error, "", {}}});
    EXPECT_EQ(diagnosis::RowToShowFirst(report), 0u);

    const Fix undo = *outcome.repaired->fix;
    EXPECT_THAT(Question(undo, machine.Folder()), HasSubstr("改回 C:\\old\\jvm.dll"));
    machine.values[kJvm] = StringValue("C:\\someone\\else.dll");
    EXPECT_EQ(Apply(undo, ports).result, Result::Changed);
    EXPECT_EQ(machine.values[kJvm], StringValue("C:\\someone\\else.dll"));
    machine.values[kJvm] = kJvmFix.wanted;
    const Outcome undone = Apply(undo, ports);
    ASSERT_EQ(undone.result, Result::Done);
    EXPECT_EQ(machine.values[kJvm], stored);
    last.Record(undone);
    EXPECT_TRUE(last.Before({}).empty());
}

TEST_F(RepairSetting, TheUndoOfAValueThatWasNotSetRemovesIt) {
    diagnosis::SettingFix fix = kJvmFix;
    fix.seen.reset();
    EXPECT_EQ(Apply(*Apply(fix, ports).repaired->fix, ports).result, Result::Done);
    EXPECT_EQ(machine.values.count(kJvm), 0u);
}

TEST_F(RepairSetting, WithoutTheRightsNothingChangesAndNoBackupStays) {
    machine.values[kJvm] = StringValue("C:\\old\\jvm.dll");
    machine.denied = true;
    EXPECT_EQ(Apply(kJvmFix, ports).message, "修复失败!需要管理员权限");
    EXPECT_TRUE(machine.backups.empty());
}

TEST_F(RepairPort, MovesTheConnectorOnlyWhileThePortIsStillHeldAndUndoesIt) {
    const std::string path = "C:\\tomcat/conf/server.xml";
    const std::string original =
        "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<Server><Service>"
        "<Connector port=\"8080\"/></Service></Server>";
    machine.files.files[path] = original;
    const diagnosis::PortFix fix{path, 0, "HTTP/1.1", 8080, 8081, true};
    // The other program has let go of the port meanwhile.
    EXPECT_EQ(Apply(fix, ports).result, Result::Changed);
    EXPECT_EQ(machine.files.files[path], original);

    machine.network.binds[8080] = BindOutcome::Taken;
    const Outcome outcome = Apply(fix, ports);
    ASSERT_EQ(outcome.result, Result::Done);
    EXPECT_THAT(machine.files.files[path], HasSubstr("<Connector port=\"8081\""));
    EXPECT_EQ(machine.backups.at("2026-12-09_03-17-31_server.xml"), original);
    ASSERT_EQ(Apply(*outcome.repaired->fix, ports).result, Result::Done);
    EXPECT_EQ(machine.files.files[path], original);
}

TEST_F(RepairProcess, EndsOnlyTheSameProcess) {
    const diagnosis::ProcessFix fix{40, 1234, "C:\\jdk\\bin\\java.exe", "java.exe"};
    machine.processes[40] = {5678, "C:\\jdk\\bin\\java.exe"};  // the identifier reused
    EXPECT_EQ(Apply(fix, ports).result, Result::Changed);
    EXPECT_FALSE(machine.ended);
    machine.processes[40] = {1234, "C:\\JDK\\bin\\java.exe"};
    const Outcome outcome = Apply(fix, ports);
    EXPECT_EQ(outcome.result, Result::Done);
    EXPECT_TRUE(machine.ended);
    EXPECT_FALSE(outcome.repaired->fix);  // nothing to put back
}

}  // namespace
}  // namespace qm::repair

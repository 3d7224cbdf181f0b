// The writes of a repair against Wine's registry, processes and files.
#include "platform/win32/repair_ports_win.h"
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/wide_text.h"

#include "support/lib/processes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>

namespace qm {
namespace {

const std::string kKey = "SOFTWARE\\QuillmateRepairTest-" + std::to_string(GetCurrentProcessId());

class RegistryWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, std::wstring(kKey.begin(), kKey.end()).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, std::wstring(kKey.begin(), kKey.end()).c_str(), KEY_WOW64_32KEY, 0);
    }
    win32::Win32RegistryWriter writer;
};

TEST_F(RegistryWriterTest, WritesReadsAndRemovesValuesExactlyInTheAskedView) {
    // A list with an empty string inside and no final terminator: the bytes come back as written.
    RegistryValue list = MultiStringValue({"-Da", "", "-Xb"});
    list.data.resize(list.data.size() - 2);
    ASSERT_EQ(writer.Write(kKey, "Options", RegistryView::Wow32, list), RegistryOutcome::Done);
    std::optional<RegistryValue> read;
    ASSERT_EQ(writer.Read(kKey, "Options", RegistryView::Wow32, read), RegistryOutcome::Done);
    EXPECT_EQ(read, list);
    // The other view has no such key: nothing is created there.
    EXPECT_EQ(writer.Read(kKey, "Options", RegistryView::Native, read), RegistryOutcome::Failed);
    EXPECT_EQ(writer.Write(kKey, "Options", RegistryView::Native, list), RegistryOutcome::Failed);

    win32::Win32RegistryReader reader;
    EXPECT_EQ(reader.ReadMultiString(kKey, "Options", RegistryView::Wow32), (std::vector<std::string>{"-Da", "-Xb"}));

    ASSERT_EQ(writer.Remove(kKey, "Options", RegistryView::Wow32), RegistryOutcome::Done);
    ASSERT_EQ(writer.Read(kKey, "Options", RegistryView::Wow32, read), RegistryOutcome::Done);
    EXPECT_FALSE(read);
    EXPECT_EQ(writer.Remove(kKey, "Options", RegistryView::Wow32), RegistryOutcome::Done);
}

TEST(ProcessEnder, OpensTheProcessTheInspectorSawAndEndsIt) {
    test::ScratchDirectory scratch;
    test::StartedProgram sleeper = test::StartSleeperAs(scratch.Path() / "java.exe");
    ASSERT_TRUE(sleeper);
    win32::Win32ProcessInspector inspector;
    const std::vector<ProcessFacts> processes =
        inspector.Processes([](std::string_view name) { return name == "java.exe"; });
    const auto seen = std::find_if(processes.begin(), processes.end(),
                                   [&](const ProcessFacts& facts) { return facts.id == sleeper.ProcessId(); });
    ASSERT_NE(seen, processes.end());
    EXPECT_NE(seen->startTime, 0u);

    win32::Win32ProcessEnder ender;
    OpenOutcome outcome = OpenOutcome::Failed;
    const std::unique_ptr<EndableProcess> process = ender.Open(sleeper.ProcessId(), outcome);
    ASSERT_EQ(outcome, OpenOutcome::Opened);
    EXPECT_EQ(process->StartTime(), seen->startTime);
    EXPECT_EQ(process->ImagePath(), seen->imagePath);
    ASSERT_TRUE(process->End());
    EXPECT_TRUE(process->WaitForExit(std::chrono::seconds(10)));
    EXPECT_FALSE(sleeper.IsRunning());
    EXPECT_EQ(ender.Open(sleeper.ProcessId(), outcome), nullptr);
    EXPECT_EQ(outcome, OpenOutcome::Gone);
}

TEST(LocalBackupStore, CreatesNewFilesOnlyInTheUsersOwnFolder) {
    win32::LocalBackupStore store;
    wchar_t local[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH));
    const std::filesystem::path folder = std::filesystem::path(local) / L"Quillmate" / L"backup";
    EXPECT_EQ(std::filesystem::path(win32::Widen(store.Folder())), folder);

    const std::string name = "test-" + std::to_string(GetCurrentProcessId()) + "_备份.reg";
    std::string path, reason;
    ASSERT_EQ(store.Create(name, std::string("a\0b", 3), path, reason), BackupOutcome::Done) << reason;
    EXPECT_EQ(std::filesystem::path(win32::Widen(path)), folder / win32::Widen(name));
    EXPECT_EQ(test::ReadWholeFile(folder / win32::Widen(name)), std::string("a\0b", 3));
    std::string again;
    EXPECT_EQ(store.Create(name, "other", again, reason), BackupOutcome::NameTaken);
    EXPECT_EQ(test::ReadWholeFile(folder / win32::Widen(name)), std::string("a\0b", 3));
    store.Remove(path);
    EXPECT_FALSE(std::filesystem::exists(folder / win32::Widen(name)));
}

}  // namespace
}  // namespace qm

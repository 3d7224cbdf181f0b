// A repair's process ender and backup store against Wine's processes and files;
// its registry writes are seen end to end (tests/e2e/repair_test.cpp).
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
    EXPECT_EQ(ender.Open(sleeper.ProcessId(), outcome), nullptr);
    EXPECT_EQ(outcome, OpenOutcome::Gone);
}

TEST(LocalBackupStore, CreatesNewFilesOnlyInTheUsersOwnFolder) {
    win32::LocalBackupStore store;
    wchar_t local[MAX_PATH] = {};
    ASSERT_TRUE(GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH));
    const std::string name = "test-" + std::to_string(GetCurrentProcessId()) + "_备份.reg";
    std::string path, again, reason;
    ASSERT_EQ(store.Create(name, std::string("a\0b", 3), path, reason), BackupOutcome::Done) << reason;
    EXPECT_EQ(std::filesystem::path(win32::Widen(path)),
              std::filesystem::path(local) / L"Quillmate" / L"backup" / win32::Widen(name));
    EXPECT_EQ(store.Create(name, "other", again, reason), BackupOutcome::NameTaken);
    EXPECT_EQ(test::ReadWholeFile(win32::Widen(path)), std::string("a\0b", 3));
    store.Remove(path);
    EXPECT_FALSE(std::filesystem::exists(win32::Widen(path)));
}

}  // namespace
}  // namespace qm

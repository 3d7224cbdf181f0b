// Repairs from the diagnosis page, driven as a user would: the service
// runner's missing Jvm in the 32-bit registry view, put back with the undo
// and, from its backup, with the registry editor; and a server.xml connector
// whose port another program holds.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/quillmate_session.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "support/lib/controls.h"
#include "support/lib/listening_port.h"
#include "support/lib/message_box.h"
#include "support/lib/processes.h"
#include "support/lib/remote_buffer.h"
#include "support/lib/test_service_control.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::wstring>>;
constexpr auto kBound = std::chrono::seconds(20);
constexpr int kDiagnosisTab = 4;
constexpr wchar_t kParameters[] = L"SOFTWARE\\Apache Software Foundation\\Procrun 2.0\\tomcat6\\Parameters";

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// The 32-bit view's Jvm of service tomcat6; nothing when the key or value is missing.
std::optional<std::wstring> RunnerJvm(REGSAM view = KEY_WOW64_32KEY) {
    wchar_t data[1024] = {};
    DWORD size = sizeof data;
    const std::wstring key = std::wstring(kParameters) + L"\\Java";
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Jvm", RRF_RT_REG_SZ | view, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

void SetRunnerSetting(const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    const std::wstring path = std::wstring(kParameters) + L"\\Java";
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const win32::UniqueRegistryKey owned(key);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void RemoveRunnerSettings() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Apache Software Foundation\\Procrun 2.0", 0,
                      KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return;
    const win32::UniqueRegistryKey owned(key);
    RegDeleteTreeW(key, L"tomcat6");
    RegDeleteKeyExW(key, L"tomcat6", KEY_WOW64_32KEY, 0);
}

fs::path BackupFolder() {
    wchar_t local[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    return fs::path(local) / L"Quillmate" / L"backup";
}

std::size_t BackupCount() {
    std::error_code error;
    if (!fs::is_directory(BackupFolder(), error)) return 0;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(BackupFolder()), fs::directory_iterator()));
}

// The backup file the "本次修复" row names.
fs::path BackupNamedIn(const std::wstring& explanation) {
    const std::wstring folder = BackupFolder().wstring();
    const std::size_t at = explanation.find(folder);
    if (at == std::wstring::npos) return {};
    const std::size_t end = explanation.find(L"。", at);
    return explanation.substr(at, end - at);
}

int RowIndex(const Rows& rows, const std::wstring& item) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.at(0) == item; });
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

bool SelectRow(HWND list, int row) {
    auto remote = RemoteBuffer::ForWindow(list, sizeof(LVITEMW));
    if (!remote) return false;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    return remote->WriteValue(item) &&
           SendWithTimeout(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote->AsLParam()).value_or(FALSE);
}

class Repair : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveRunnerSettings();
        CreateFileWithText(Jdk() / "release", "JAVA_VERSION=\"1.8.0_181\"\n");
        CreateFileWithText(Jdk() / "bin" / "java.exe");
        // 64-bit, as the runner.
        CopyProgram(L"qm_sleeper.exe", Jdk() / "bin" / "server" / "jvm.dll");
        CopyProgram(L"qm_sleeper.exe", Tomcat() / "bin" / "tomcat6.exe");
        CreateFileWithText(Tomcat() / "bin" / "bootstrap.jar");
    }
    void TearDown() override {
        session_.reset();
        RemoveRunnerSettings();
        for (const fs::path& backup : backups_) fs::remove(backup);
    }

    fs::path Jdk() const { return scratch_.Path() / "jdk"; }
    fs::path Tomcat() const { return scratch_.Path() / "tomcat"; }
    void WriteServerXml(unsigned port) {
        CreateFileWithText(Tomcat() / "conf" / "server.xml",
                           "<?xml version='1.0' encoding='utf-8'?>\n<Server port=\"-1\" shutdown=\"SHUTDOWN\">\n"
                           "  <Service name=\"Catalina\">\n    <Connector port=\"" +
                               std::to_string(port) + "\" protocol=\"HTTP/1.1\" />\n  </Service>\n</Server>\n");
    }

    HWND List() const { return session_->Control("DiagnosisList"); }
    HWND Button() const { return session_->Control("RepairButton"); }

    Rows ShowPage() {
        session_.emplace(QuillmateSession::Start(WithInstallations(Jdk().wstring(), Tomcat().wstring())));
        if (!session_->MainWindow() || !SelectTab(session_->Control("PageControl1"), kDiagnosisTab)) return {};
        if (!WaitUntil([&] { return ReportRowCount(List()) > 0; }, kBound)) return {};
        return ReportRows(List(), 3);
    }

    // Selects the row, presses the button with that caption and gives the question box.
    MessageBoxInfo Ask(const Rows& rows, const std::wstring& item, const std::wstring& caption) {
        const int row = RowIndex(rows, item);
        EXPECT_GE(row, 0) << win32::Narrow(item);
        if (row < 0 || !SelectRow(List(), row)) return {};
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Button()) && ReadWindowText(Button()) == caption; }))
            << win32::Narrow(ReadWindowText(Button()));
        if (!PostClick(Button())) return {};
        const HWND box = WaitForMessageBox(session_->ProcessId());
        return box ? ReadMessageBox(box) : MessageBoxInfo{};
    }

    // The report after an answered question: the new diagnosis's rows, once
    // they differ from those before.
    Rows Answer(const MessageBoxInfo& box, int button, const Rows& before) {
        if (!box.handle || !AnswerMessageBox(box.handle, button)) return {};
        Rows rows;
        WaitUntil(
            [&] {
                if (!IsWindowEnabled(session_->Control("DiagnoseButton"))) return false;
                rows = ReportRows(List(), 3);
                return !rows.empty() && rows != before;
            },
            kBound);
        return rows;
    }

    ScratchDirectory scratch_;
    std::optional<QuillmateSession> session_;
    std::vector<fs::path> backups_;
};

TEST_F(Repair, AMissingJvmIsSetInThe32BitViewBackedUpAndPutBack) {
    const std::wstring runner = (Tomcat() / "bin" / "tomcat6.exe").wstring();
    RegisteredTestService tomcat6({.commandLine = L"\"" + runner + L"\" //RS//tomcat6"},
                                  RegisteredTestService::ExactName{L"tomcat6"});
    SetRunnerSetting(L"Jvm", L"C:\\gone\\jvm.dll");
    SetRunnerSetting(L"Classpath", (Tomcat() / "bin" / "bootstrap.jar").wstring());
    ListeningPort free;  // a port no other test holds
    free.Release();
    WriteServerXml(free.Port());
    const std::wstring jvm = (Jdk() / "bin" / "server" / "jvm.dll").wstring();

    Rows rows = ShowPage();
    ASSERT_FALSE(rows.empty());
    const std::size_t backupsBefore = BackupCount();
    MessageBoxInfo box = Ask(rows, L"服务 tomcat6 JVM", L"修复…");
    EXPECT_EQ(box.caption, L"提示");
    EXPECT_TRUE(Contains(box.text, L"将服务 tomcat6 的 Jvm 从 C:\\gone\\jvm.dll 改为 " + jvm + L"。")) << box.text;
    EXPECT_TRUE(Contains(box.text, BackupFolder().wstring())) << box.text;
    // No: nothing is written, not even a backup.
    ASSERT_TRUE(AnswerMessageBox(box.handle, IDNO));
    EXPECT_EQ(RunnerJvm(), L"C:\\gone\\jvm.dll");
    EXPECT_EQ(BackupCount(), backupsBefore);

    box = Ask(rows, L"服务 tomcat6 JVM", L"修复…");
    rows = Answer(box, IDYES, rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], L"本次修复");
    EXPECT_EQ(RunnerJvm(), jvm);
    EXPECT_EQ(RunnerJvm(KEY_WOW64_64KEY), std::nullopt);
    const fs::path backup = BackupNamedIn(rows[0][2]);
    backups_.push_back(backup);
    const std::optional<std::string> bytes = ReadWholeFile(backup);
    ASSERT_TRUE(bytes) << rows[0][2];
    EXPECT_EQ(bytes->substr(0, 2), "\xFF\xFE");

    box = Ask(rows, L"本次修复", L"撤销…");
    EXPECT_TRUE(Contains(box.text, L"改回 C:\\gone\\jvm.dll")) << box.text;
    rows = Answer(box, IDYES, rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows[0][0], L"本次修复");
    EXPECT_EQ(RunnerJvm(), L"C:\\gone\\jvm.dll");
    for (const auto& entry : fs::directory_iterator(BackupFolder()))
        if (entry.path().filename().wstring().find(L"before-undo") != std::wstring::npos &&
            fs::last_write_time(entry.path()) >= fs::last_write_time(backup))
            backups_.push_back(entry.path());

    // The 64-bit registry editor puts the backed-up value back where it was.
    SetRunnerSetting(L"Jvm", L"C:\\elsewhere\\jvm.dll");
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    StartedProgram regedit = StartedProgram::Start(std::wstring(windows) + L"\\regedit.exe",
                                                   ProgramOptions{}.Argument(L"/S").Argument(backup.wstring()));
    ASSERT_TRUE(regedit);
    ASSERT_TRUE(regedit.WaitForExit(kBound));
    EXPECT_EQ(RunnerJvm(), L"C:\\gone\\jvm.dll");
}

TEST_F(Repair, AHeldConnectorPortMovesToAFreeOneAbove) {
    ListeningPort held;
    ASSERT_NE(held.Port(), 0);
    WriteServerXml(held.Port());
    const fs::path serverXml = Tomcat() / "conf" / "server.xml";
    const std::optional<std::string> original = ReadWholeFile(serverXml);

    Rows rows = ShowPage();
    ASSERT_FALSE(rows.empty());
    const std::wstring item = L"端口 " + std::to_wstring(held.Port());
    const MessageBoxInfo box = Ask(rows, item, L"修复…");
    const std::wstring from = L"的端口从 " + std::to_wstring(held.Port()) + L" 改为 ";
    const std::size_t at = box.text.find(from);
    ASSERT_NE(at, std::wstring::npos) << box.text;
    const unsigned moved = std::stoul(box.text.substr(at + from.size()));
    EXPECT_GT(moved, held.Port());

    rows = Answer(box, IDYES, rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], L"本次修复");
    const fs::path backup = BackupNamedIn(rows[0][2]);
    backups_.push_back(backup);
    EXPECT_EQ(ReadWholeFile(backup), original);
    const std::optional<std::string> saved = ReadWholeFile(serverXml);
    ASSERT_TRUE(saved);
    EXPECT_NE(saved->find("encoding=\"GB2312\""), std::string::npos) << *saved;
    EXPECT_NE(saved->find("<Connector port=\"" + std::to_string(moved) + "\""), std::string::npos) << *saved;
}

}  // namespace
}  // namespace qm::test

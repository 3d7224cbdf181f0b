// Repairs from the diagnosis page, driven as a user would: the runner's
// missing Jvm in the 32-bit view, undone, and its backup imported by the
// registry editor; a connector whose port another program holds.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "e2e/quillmate_session.h"
#include "platform/win32/repair_ports_win.h"
#include "platform/win32/system_inspection_win.h"
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
const std::string kRunnerKey = "SOFTWARE\\Apache Software Foundation\\Procrun 2.0";
const std::string kJava = kRunnerKey + "\\tomcat6\\Parameters\\Java";

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

std::optional<std::string> RunnerJvm(RegistryView view = RegistryView::Wow32) {
    return win32::Win32RegistryReader().ReadString(kJava, "Jvm", view);
}

void SetRunnerSetting(const std::string& name, const fs::path& value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(kJava).c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY,
                    nullptr, &key, nullptr);
    RegCloseKey(key);
    ASSERT_EQ(win32::Win32RegistryWriter().Write(kJava, name, RegistryView::Wow32, StringValue(value.string())),
              RegistryOutcome::Done);
}

void RemoveRunnerSettings() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(kRunnerKey).c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                      &key) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(key, L"tomcat6");
    RegCloseKey(key);
}

// The backup file that the "本次修复" row names.
fs::path BackupNamedIn(const std::wstring& explanation) {
    const std::wstring folder = win32::Widen(win32::LocalBackupStore().Folder());
    const std::size_t at = explanation.find(folder);
    return at == std::wstring::npos ? fs::path() : fs::path(explanation.substr(at, explanation.find(L"。", at) - at));
}

class Repair : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveRunnerSettings();
        CreateFileWithText(Jdk() / "release", "JAVA_VERSION=\"1.8.0_181\"\n");
        CreateFileWithText(Jdk() / "bin" / "java.exe");
        CopyProgram(L"qm_sleeper.exe", Jdk() / "bin" / "server" / "jvm.dll");  // 64-bit, as the runner
        CopyProgram(L"qm_sleeper.exe", Tomcat() / "bin" / "tomcat6.exe");
    }
    void TearDown() override {
        session_.reset();
        RemoveRunnerSettings();
    }

    fs::path Jdk() const { return scratch_.Path() / "jdk"; }
    fs::path Tomcat() const { return scratch_.Path() / "tomcat"; }
    void WriteServerXml(unsigned port) {
        CreateFileWithText(Tomcat() / "conf" / "server.xml",
                           "<?xml version='1.0' encoding='utf-8'?>\n<Server port=\"-1\"><Service><Connector port=\"" +
                               std::to_string(port) + "\" protocol=\"HTTP/1.1\"/></Service></Server>\n");
    }
    HWND List() const { return session_->Control("DiagnosisList"); }
    HWND Button() const { return session_->Control("RepairButton"); }

    Rows ShowPage() {
        session_.emplace(QuillmateSession::Start(WithInstallations(Jdk().wstring(), Tomcat().wstring())));
        if (!SelectTab(session_->Control("PageControl1"), 4)) return {};
        WaitUntil([&] { return ReportRowCount(List()) > 0; }, kBound);
        return ReportRows(List(), 3);
    }

    // Selects the row as a click would, presses the button with that caption
    // and reads the question box.
    MessageBoxInfo Ask(const Rows& rows, const std::wstring& item, const std::wstring& caption) {
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.at(0) == item; });
        auto remote = RemoteBuffer::ForWindow(List(), sizeof(LVITEMW));
        LVITEMW selected{};
        selected.stateMask = selected.state = LVIS_SELECTED | LVIS_FOCUSED;
        if (row == rows.end() || !remote || !remote->WriteValue(selected)) return {};
        SendWithTimeout(List(), LVM_SETITEMSTATE, row - rows.begin(), remote->AsLParam());
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Button()) && ReadWindowText(Button()) == caption; }));
        if (!PostClick(Button())) return {};
        const HWND box = WaitForMessageBox(session_->ProcessId());
        return box ? ReadMessageBox(box) : MessageBoxInfo{};
    }

    // Answers yes and gives the new diagnosis's rows once they differ from before.
    Rows Yes(const MessageBoxInfo& box, const Rows& before) {
        Rows rows;
        if (box.handle && AnswerMessageBox(box.handle, IDYES))
            WaitUntil(
                [&] {
                    return IsWindowEnabled(session_->Control("DiagnoseButton")) &&
                           (rows = ReportRows(List(), 3)) != before && !rows.empty();
                },
                kBound);
        return rows;
    }

    ScratchDirectory scratch_;
    std::optional<QuillmateSession> session_;
};

TEST_F(Repair, AMissingJvmIsSetInThe32BitViewBackedUpAndPutBack) {
    RegisteredTestService tomcat6(
        {.commandLine = L"\"" + (Tomcat() / "bin" / "tomcat6.exe").wstring() + L"\" //RS//tomcat6"},
        RegisteredTestService::ExactName{L"tomcat6"});
    SetRunnerSetting("Jvm", "C:\\gone\\jvm.dll");
    CreateFileWithText(Tomcat() / "bin" / "bootstrap.jar");
    SetRunnerSetting("Classpath", Tomcat() / "bin" / "bootstrap.jar");
    WriteServerXml(0);
    const std::wstring jvm = (Jdk() / "bin" / "server" / "jvm.dll").wstring();

    Rows rows = ShowPage();
    MessageBoxInfo box = Ask(rows, L"服务 tomcat6 JVM", L"修复…");
    EXPECT_EQ(box.caption, L"提示");
    EXPECT_TRUE(Contains(box.text, L"将服务 tomcat6 的 Jvm 从 C:\\gone\\jvm.dll 改为 " + jvm + L"。")) << box.text;
    EXPECT_TRUE(Contains(box.text, win32::Widen(win32::LocalBackupStore().Folder()))) << box.text;
    ASSERT_TRUE(AnswerMessageBox(box.handle, IDNO));
    EXPECT_EQ(RunnerJvm(), "C:\\gone\\jvm.dll");

    rows = Yes(Ask(rows, L"服务 tomcat6 JVM", L"修复…"), rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], L"本次修复");
    EXPECT_EQ(RunnerJvm(), win32::Narrow(jvm));
    EXPECT_EQ(RunnerJvm(RegistryView::Native), std::nullopt);
    const fs::path backup = BackupNamedIn(rows[0][2]);
    EXPECT_EQ(ReadWholeFile(backup).value_or("").substr(0, 2), "\xFF\xFE") << rows[0][2];

    box = Ask(rows, L"本次修复", L"撤销…");
    EXPECT_TRUE(Contains(box.text, L"改回 C:\\gone\\jvm.dll")) << box.text;
    rows = Yes(box, rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows[0][0], L"本次修复");
    EXPECT_EQ(RunnerJvm(), "C:\\gone\\jvm.dll");

    // The 64-bit registry editor puts the backed-up value back where it was.
    SetRunnerSetting("Jvm", "C:\\elsewhere\\jvm.dll");
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    StartedProgram regedit = StartedProgram::Start(std::wstring(windows) + L"\\regedit.exe",
                                                   ProgramOptions{}.Argument(L"/S").Argument(backup.wstring()));
    ASSERT_TRUE(regedit.WaitForExit(kBound));
    EXPECT_EQ(RunnerJvm(), "C:\\gone\\jvm.dll");
}

TEST_F(Repair, AHeldConnectorPortMovesToAFreeOneAbove) {
    ListeningPort held;
    ASSERT_NE(held.Port(), 0);
    WriteServerXml(held.Port());
    const fs::path serverXml = Tomcat() / "conf" / "server.xml";
    const std::optional<std::string> original = ReadWholeFile(serverXml);

    Rows rows = ShowPage();
    const MessageBoxInfo box = Ask(rows, L"端口 " + std::to_wstring(held.Port()), L"修复…");
    const std::wstring from = L"的端口从 " + std::to_wstring(held.Port()) + L" 改为 ";
    ASSERT_TRUE(Contains(box.text, from)) << box.text;
    const unsigned moved = std::stoul(box.text.substr(box.text.find(from) + from.size()));
    EXPECT_GT(moved, held.Port());

    rows = Yes(box, rows);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], L"本次修复");
    EXPECT_EQ(ReadWholeFile(BackupNamedIn(rows[0][2])), original);
    const std::string saved = ReadWholeFile(serverXml).value_or("");
    EXPECT_NE(saved.find("encoding=\"GB2312\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("<Connector port=\"" + std::to_string(moved) + "\""), std::string::npos) << saved;
}

}  // namespace
}  // namespace qm::test

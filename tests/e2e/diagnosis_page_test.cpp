// The diagnosis page on a fixture installation: a JDK of Java 11, a 32-bit
// tomcat6.exe beside a 64-bit JVM, and a server.xml whose HTTP port the test
// holds. The page's rows, its copy to the clipboard, and that it changed nothing.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/quillmate_session.h"
#include "support/lib/controls.h"
#include "support/lib/listening_port.h"
#include "support/lib/processes.h"
#include "support/lib/test_service_control.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::wstring>>;
constexpr auto kBound = std::chrono::seconds(20);
constexpr int kDiagnosisTab = 4;
constexpr wchar_t kEnvironmentKey[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";

// Every file below a directory with its bytes and last write time.
std::map<fs::path, std::pair<std::string, fs::file_time_type>> FilesBelow(const fs::path& root) {
    std::map<fs::path, std::pair<std::string, fs::file_time_type>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[entry.path()] = {ReadWholeFile(entry.path()).value_or(""), entry.last_write_time()};
    return files;
}

// Every value of the machine's environment key, as raw bytes by name.
std::map<std::wstring, std::vector<BYTE>> MachineEnvironment() {
    std::map<std::wstring, std::vector<BYTE>> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    const win32::UniqueRegistryKey owned(key);
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512;
        BYTE data[8192];
        DWORD size = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, nullptr, data, &size) != ERROR_SUCCESS) break;
        values[name] = std::vector<BYTE>(data, data + size);
    }
    return values;
}

// Every service's state by name.
std::map<std::wstring, DWORD> ServiceStates() {
    std::map<std::wstring, DWORD> states;
    const win32::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    DWORD needed = 0, count = 0, resume = 0;
    EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed,
                          &count, &resume, nullptr);
    std::vector<ENUM_SERVICE_STATUS_PROCESSW> buffer(needed / sizeof(ENUM_SERVICE_STATUS_PROCESSW) + 1);
    resume = 0;
    if (!EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                               reinterpret_cast<BYTE*>(buffer.data()),
                               static_cast<DWORD>(buffer.size() * sizeof buffer[0]), &needed, &count, &resume, nullptr))
        return states;
    for (DWORD i = 0; i < count; ++i) states[buffer[i].lpServiceName] = buffer[i].ServiceStatusProcess.dwCurrentState;
    return states;
}

std::optional<std::wstring> ClipboardText() {
    if (!OpenClipboard(nullptr)) return std::nullopt;
    std::optional<std::wstring> text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void EmptyTheClipboard() {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    CloseClipboard();
}

// The first row whose item is exactly item; an empty row when none.
std::vector<std::wstring> RowOf(const Rows& rows, const std::wstring& item) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.at(0) == item; });
    return found == rows.end() ? std::vector<std::wstring>(3) : *found;
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

class DiagnosisPage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(held_.Port(), 0);
        CreateFileWithText(Jdk() / "release", "JAVA_VERSION=\"11.0.2\"\nOS_NAME=\"Windows\"\n");
        CreateFileWithText(Jdk() / "bin" / "java.exe");
        CreateFileWithText(Jdk() / "bin" / "javac.exe");
        CopyProgram(L"qm_sleeper.exe", Jdk() / "bin" / "server" / "jvm.dll");
        CopyProgram(L"qm_pe32.exe", Tomcat() / "bin" / "tomcat6.exe");
        CreateFileWithText(Tomcat() / "conf" / "server.xml",
                           "<?xml version='1.0' encoding='utf-8'?>\n<Server port=\"-1\" shutdown=\"SHUTDOWN\">\n"
                           "  <Service name=\"Catalina\">\n    <Connector port=\"" +
                               std::to_string(held_.Port()) + "\" protocol=\"HTTP/1.1\" />\n  </Service>\n</Server>\n");
        CreateFileWithText(Tomcat() / "logs" / "catalina.2026-12-08.log", "INFO: Server startup\n");
    }

    fs::path Jdk() const { return scratch_.Path() / "jdk"; }
    fs::path Tomcat() const { return scratch_.Path() / "tomcat"; }

    void StartProgram() {
        session_.emplace(QuillmateSession::Start(WithInstallations(Jdk().wstring(), Tomcat().wstring())));
        ASSERT_NE(session_->MainWindow(), nullptr);
    }
    HWND List() const { return session_->Control("DiagnosisList"); }

    // Shows the page and waits for its first report.
    Rows ShowPage() {
        if (!SelectTab(session_->Control("PageControl1"), kDiagnosisTab)) return {};
        if (!WaitUntil([&] { return ReportRowCount(List()) > 0; }, kBound)) return {};
        return ReportRows(List(), 3);
    }

    ListeningPort held_;
    ScratchDirectory scratch_;
    std::optional<QuillmateSession> session_;
};

TEST_F(DiagnosisPage, ShowsJava11TheBitnessMismatchAndTheTakenPortAsErrors) {
    StartProgram();
    const Rows rows = ShowPage();
    ASSERT_FALSE(rows.empty());

    const auto version = RowOf(rows, L"Java 版本");
    EXPECT_EQ(version[1], L"错误");
    EXPECT_TRUE(Contains(version[2], L"11")) << version[2];

    const auto runner = RowOf(rows, L"tomcat6.exe");
    EXPECT_EQ(runner[1], L"错误");
    EXPECT_TRUE(Contains(runner[2], L"tomcat6.exe 为 32 位")) << runner[2];
    EXPECT_TRUE(Contains(runner[2], L"64 位")) << runner[2];

    // Wine names no owner of a listener: only that the port is taken.
    const auto port = RowOf(rows, L"端口 " + std::to_wstring(held_.Port()));
    EXPECT_EQ(port[1], L"错误");
    EXPECT_TRUE(Contains(port[2], L"被其他程序占用")) << port[2];

    for (const auto& row : rows)
        EXPECT_TRUE(row[1] == L"正常" || row[1] == L"注意" || row[1] == L"错误") << row[0] << ": " << row[1];
}

TEST_F(DiagnosisPage, Java17UnderTomcat101ShowsTheVersionAndNoError) {
    CreateFileWithText(Jdk() / "release", "JAVA_VERSION=\"17.0.2\"\n");
    fs::remove(Tomcat() / "bin" / "tomcat6.exe");
    CopyProgram(L"qm_sleeper.exe", Tomcat() / "bin" / "tomcat10.exe");
    CreateFileWithText(Tomcat() / "RELEASE-NOTES", "                     Apache Tomcat Version 10.1.18\n");
    // server.xml names the port; free now, nothing is wrong with it.
    held_.Release();
    StartProgram();
    const Rows rows = ShowPage();
    ASSERT_FALSE(rows.empty());

    const auto version = RowOf(rows, L"Tomcat 版本");
    EXPECT_EQ(version[1], L"正常");
    EXPECT_TRUE(Contains(version[2], L"10.1.18")) << version[2];
    EXPECT_TRUE(Contains(version[2], L"RELEASE-NOTES")) << version[2];
    EXPECT_EQ(RowOf(rows, L"tomcat10.exe")[1], L"正常");
    for (const auto& row : rows) EXPECT_NE(row[1], L"错误") << row[0] << ": " << row[2];
}

TEST_F(DiagnosisPage, CopiesTheRowsAsTabSeparatedLines) {
    StartProgram();
    const Rows rows = ShowPage();
    ASSERT_FALSE(rows.empty());
    std::wstring expected;
    for (const auto& row : rows) expected += row[1] + L"\t" + row[0] + L"\t" + row[2] + L"\r\n";

    EmptyTheClipboard();
    ASSERT_TRUE(PostClick(session_->Control("CopyReportButton")));
    EXPECT_TRUE(WaitUntil([] { return ClipboardText().has_value(); }, kBound));
    EXPECT_EQ(ClipboardText(), std::optional<std::wstring>(expected));
}

TEST_F(DiagnosisPage, RunsAgainOnRequestAndChangesNothing) {
    // A Java program of another installation: looked at, never ended.
    StartedProgram otherJava = StartSleeperAs(scratch_.Path() / "other-jdk" / "bin" / "java.exe");
    ASSERT_TRUE(otherJava);
    const auto files = FilesBelow(scratch_.Path());
    const auto environment = MachineEnvironment();
    RegisteredTestService running;
    ASSERT_TRUE(running.StartAndWaitUntilRunning());
    RegisteredTestService stopped;
    const auto services = ServiceStates();

    StartProgram();
    const Rows first = ShowPage();
    ASSERT_FALSE(first.empty());
    // Emptied by the test: rows seen from now on come from the second run.
    SendWithTimeout(List(), LVM_DELETEALLITEMS);
    ASSERT_EQ(ReportRowCount(List()), 0);
    ASSERT_TRUE(PostClick(session_->Control("DiagnoseButton")));
    ASSERT_TRUE(WaitUntil([&] { return ReportRowCount(List()) > 0; }, kBound));
    EXPECT_EQ(ReportRows(List(), 3), first);

    EXPECT_EQ(FilesBelow(scratch_.Path()), files);
    EXPECT_EQ(MachineEnvironment(), environment);
    EXPECT_EQ(ServiceStates(), services);
    EXPECT_EQ(running.State(), std::optional<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(stopped.State(), std::optional<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(otherJava.IsRunning());
}

}  // namespace
}  // namespace qm::test

// The diagnosis page on a fixture installation: a JDK of Java 11, a 32-bit
// tomcat6.exe beside a 64-bit JVM, and a server.xml whose HTTP port the test
// holds. The page's rows, its copy to the clipboard, and that it changed
// nothing; and a service tomcat6 with its runner's settings and logs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "e2e/display_scale.h"
#include "e2e/quillmate_session.h"
#include "support/lib/controls.h"
#include "support/lib/held_fifo.h"
#include "support/lib/listening_port.h"
#include "support/lib/processes.h"
#include "support/lib/remote_buffer.h"
#include "support/lib/screenshot.h"
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

// The service runner's settings of service tomcat6, written where both of its
// builds write them: the 32-bit registry view. Gone with the object.
class RunnerSettings {
public:
    RunnerSettings() { Remove(); }
    ~RunnerSettings() { Remove(); }
    RunnerSettings(const RunnerSettings&) = delete;
    RunnerSettings& operator=(const RunnerSettings&) = delete;

    void Set(const std::wstring& subkey, const wchar_t* name, DWORD type, const std::wstring& text) {
        // A multi-string's own terminators are in the text; the last NUL ends it.
        SetBytes(subkey, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    void SetDword(const std::wstring& subkey, const wchar_t* name, DWORD value) {
        SetBytes(subkey, name, REG_DWORD, &value, sizeof value);
    }

private:
    static constexpr wchar_t kRunnerKey[] = L"SOFTWARE\\Apache Software Foundation\\Procrun 2.0";

    void SetBytes(const std::wstring& subkey, const wchar_t* name, DWORD type, const void* data, std::size_t size) {
        const std::wstring path = std::wstring(kRunnerKey) + L"\\tomcat6\\Parameters\\" + subkey;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const win32::UniqueRegistryKey owned(key);
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }
    static void Remove() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunnerKey, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
            return;
        const win32::UniqueRegistryKey owned(key);
        RegDeleteTreeW(key, L"tomcat6");
        RegDeleteKeyExW(key, L"tomcat6", KEY_WOW64_32KEY, 0);
    }
};

// A file's last write time as this machine's clock shows it, to the minute.
std::wstring LocalWriteTime(const fs::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    SYSTEMTIME universal{}, local{};
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return L"(no time)";
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u", local.wYear, local.wMonth, local.wDay, local.wHour,
                  local.wMinute);
    return text;
}

// Every row of an item.
std::vector<std::vector<std::wstring>> RowsOf(const Rows& rows, const std::wstring& item) {
    std::vector<std::vector<std::wstring>> found;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(found),
                 [&](const auto& row) { return row.at(0) == item; });
    return found;
}

// What the page's summary says for these rows.
std::wstring SummaryOf(const Rows& rows) {
    const auto count = [&](const wchar_t* status) {
        return std::count_if(rows.begin(), rows.end(), [&](const auto& row) { return row.at(1) == status; });
    };
    return L"发现 " + std::to_wstring(count(L"错误")) + L" 个错误、" + std::to_wstring(count(L"注意")) + L" 个注意";
}

// The summary without the time it ends with ("… · 14:03:27"); the time must be there.
std::wstring CountsOf(const std::wstring& summary) {
    const std::size_t at = summary.rfind(L" · ");
    if (at == std::wstring::npos || summary.size() - at != 11 || summary[at + 5] != L':') return L"(no time) " + summary;
    return summary.substr(0, at);
}

// The first row with that status; -1 when none.
int FirstRowWith(const Rows& rows, const std::wstring& status) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row.at(1) == status; });
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

std::wstring DetailsOf(const std::vector<std::wstring>& row) {
    return L"【" + row.at(1) + L"】" + row.at(0) + L"\r\n" + row.at(2);
}

int SelectedRow(HWND list) {
    return static_cast<int>(
        SendWithTimeout(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED).value_or(-1));
}

// Selects a row as a click would; the list tells its own window.
bool SelectRow(HWND list, int row) {
    auto remote = RemoteBuffer::ForWindow(list, sizeof(LVITEMW));
    if (!remote) return false;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    return remote->WriteValue(item) &&
           SendWithTimeout(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote->AsLParam()).value_or(FALSE);
}

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
    std::wstring Summary() const { return ReadWindowText(session_->Control("DiagnosisSummary")); }
    std::wstring Details() const { return ReadWindowText(session_->Control("DiagnosisDetails")); }
    bool ButtonsEnabled() const {
        return IsWindowEnabled(session_->Control("DiagnoseButton")) &&
               IsWindowEnabled(session_->Control("CopyReportButton"));
    }

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

TEST_F(DiagnosisPage, ShowsTheServicesOwnSettingsAndWhyItsLogSaysItFailed) {
    const std::wstring runner = (Tomcat() / "bin" / "tomcat6.exe").wstring();
    RegisteredTestService tomcat6({.commandLine = L"\"" + runner + L"\" //RS//tomcat6"},
                                  RegisteredTestService::ExactName{L"tomcat6"});
    RunnerSettings settings;
    // The 64-bit JDK under the 32-bit runner, named as installers write it.
    const std::wstring jvm = (Jdk() / "bin" / "server" / "jvm.dll").wstring();
    settings.Set(L"Java", L"Jvm", REG_EXPAND_SZ, L"%SystemDrive%" + jvm.substr(2));
    settings.Set(L"Java", L"Classpath", REG_SZ, (Tomcat() / "bin" / "bootstrap.jar").wstring());
    settings.Set(
        L"Java", L"Options", REG_MULTI_SZ,
        std::wstring(L"-Dcatalina.home=") + Tomcat().wstring() + L'\0' + L"-Dcatalina.base=C:\\old-tomcat" + L'\0');
    settings.SetDword(L"Java", L"JvmMx", 2048);
    const fs::path serviceLogs = scratch_.Path() / "service-logs";
    settings.Set(L"Log", L"Path", REG_SZ, serviceLogs.wstring());
    const fs::path runnerLog = serviceLogs / "commons-daemon.2026-12-08.log";
    CreateFileWithText(runnerLog,
                       "[2026-12-08 09:12:01] [info]  [ 2044] Commons Daemon procrun (1.0.15.0 32-bit) started\r\n"
                       "[2026-12-08 09:12:01] [error] [ 2044] Failed creating java " +
                           fs::path(jvm).string() + "\r\n");
    // Written after the runner's log, as a running server's would be.
    const fs::path accessLog = serviceLogs / "localhost_access_log.2026-12-08.txt";
    CreateFileWithText(accessLog, "127.0.0.1 - - [08/Dec/2026:09:13:00 +0800] \"GET / HTTP/1.1\" 200 11\r\n");
    fs::last_write_time(accessLog, fs::last_write_time(runnerLog) + std::chrono::minutes(2));

    StartProgram();
    const Rows rows = ShowPage();
    ASSERT_FALSE(rows.empty());

    const auto service = RowOf(rows, L"服务 tomcat6 JVM");
    EXPECT_EQ(service[1], L"错误");
    EXPECT_TRUE(Contains(service[2], L"tomcat6.exe 为 32 位")) << service[2];
    EXPECT_TRUE(Contains(service[2], jvm + L" 为 64 位")) << service[2];
    EXPECT_EQ(RowOf(rows, L"服务 tomcat6 Java 版本")[1], L"错误");
    // 2 GB of heap is no matter for a 64-bit JVM.
    EXPECT_EQ(RowOf(rows, L"服务 tomcat6 内存")[1], L"正常");
    const auto options = RowOf(rows, L"服务 tomcat6 选项");
    EXPECT_EQ(options[1], L"错误");
    EXPECT_TRUE(Contains(options[2], L"-Dcatalina.base=C:\\old-tomcat")) << options[2];
    const auto classpath = RowOf(rows, L"服务 tomcat6 Classpath");
    EXPECT_EQ(classpath[1], L"错误");
    EXPECT_TRUE(Contains(classpath[2], L"bootstrap.jar 不存在")) << classpath[2];

    const auto logs = RowsOf(rows, L"日志 · commons-daemon");
    const auto explained = std::find_if(
        logs.begin(), logs.end(), [](const auto& row) { return Contains(row[2], L"commons-daemon.2026-12-08.log"); });
    ASSERT_NE(explained, logs.end());
    EXPECT_EQ((*explained)[1], L"注意");
    EXPECT_TRUE(Contains((*explained)[2], L"Jvm 路径")) << (*explained)[2];
    EXPECT_TRUE(Contains((*explained)[2], L"（" + LocalWriteTime(runnerLog) + L"）中有：")) << (*explained)[2];
    EXPECT_TRUE(Contains((*explained)[2], L"Failed creating java " + jvm)) << (*explained)[2];

    // At a glance: the count above, the first error in full below.
    EXPECT_EQ(CountsOf(Summary()), SummaryOf(rows));
    const int firstError = FirstRowWith(rows, L"错误");
    ASSERT_GE(firstError, 0);
    EXPECT_EQ(SelectedRow(List()), firstError);
    EXPECT_EQ(Details(), DetailsOf(rows[static_cast<size_t>(firstError)]));
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

TEST_F(DiagnosisPage, CopiesTheSummaryWithItsTimeThenTheRowsAsTabSeparatedLines) {
    StartProgram();
    const Rows rows = ShowPage();
    ASSERT_FALSE(rows.empty());
    std::wstring expected;
    for (const auto& row : rows) expected += row[1] + L"\t" + row[0] + L"\t" + row[2] + L"\r\n";
    const std::wstring summary = Summary();

    EmptyTheClipboard();
    ASSERT_TRUE(PostClick(session_->Control("CopyReportButton")));
    EXPECT_TRUE(WaitUntil([] { return ClipboardText().has_value(); }, kBound));
    const std::wstring copied = ClipboardText().value_or(L"");
    const std::size_t firstLineEnd = copied.find(L"\r\n");
    ASSERT_NE(firstLineEnd, std::wstring::npos);
    const std::wstring firstLine = copied.substr(0, firstLineEnd);
    EXPECT_EQ(firstLine.rfind(CountsOf(summary) + L" · 诊断时间 ", 0), 0u) << firstLine;
    EXPECT_TRUE(firstLine.ends_with(summary.substr(summary.size() - 8))) << firstLine;
    EXPECT_EQ(copied.substr(firstLineEnd + 2), expected);
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

TEST_F(DiagnosisPage, SummarisesTheReportAndShowsTheFirstErrorInFull) {
    StartProgram();
    const Rows rows = ShowPage();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(CountsOf(Summary()), SummaryOf(rows));
    const int firstError = FirstRowWith(rows, L"错误");
    ASSERT_GE(firstError, 0);
    EXPECT_EQ(SelectedRow(List()), firstError);
    EXPECT_EQ(Details(), DetailsOf(rows[static_cast<size_t>(firstError)]));
    EXPECT_TRUE(ButtonsEnabled());

    // Another row picked: its details replace the first's.
    const int other = firstError == 0 ? 1 : 0;
    ASSERT_TRUE(SelectRow(List(), other));
    EXPECT_TRUE(WaitUntil([&] { return Details() == DetailsOf(rows[static_cast<size_t>(other)]); }, kBound))
        << Details().size() << " characters of details";
}

// A JDK whose release file is a FIFO that a Linux program holds open for
// writing: reading it waits for ever, and nothing can end that read.
TEST_F(DiagnosisPage, StaysLiveWhileAReadNeverReturnsAndSaysThatCheckCouldNotBeMade) {
    fs::remove(Jdk() / "release");
    const HeldFifo release(Jdk() / "release");
    ASSERT_TRUE(release);
    StartProgram();
    ASSERT_TRUE(SelectTab(session_->Control("PageControl1"), kDiagnosisTab));
    ASSERT_TRUE(WaitUntil([&] { return Summary() == L"正在诊断…"; }, kBound)) << Summary().size();
    EXPECT_FALSE(IsWindowEnabled(session_->Control("DiagnoseButton")));
    EXPECT_FALSE(IsWindowEnabled(session_->Control("CopyReportButton")));
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(session_->MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer), 0);
    // Answered while the checks were still waiting on the read.
    EXPECT_EQ(Summary(), L"正在诊断…");

    ASSERT_TRUE(WaitUntil([&] { return ReportRowCount(List()) > 0; }, kBound));
    const Rows rows = ReportRows(List(), 3);
    const auto givenUp = RowOf(rows, L"Java 检查");
    EXPECT_EQ(givenUp[1], L"注意");
    EXPECT_TRUE(Contains(givenUp[2], L"无法完成检查")) << givenUp[2].size();
    EXPECT_TRUE(Contains(givenUp[2], (Jdk() / "release").wstring())) << givenUp[2].size();
    // The groups after it were checked.
    EXPECT_EQ(RowOf(rows, L"CATALINA_HOME")[1], L"正常");
    EXPECT_EQ(CountsOf(Summary()), SummaryOf(rows));
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(DiagnosisPage, ClosesAtOnceWhileACheckStillWaits) {
    fs::remove(Jdk() / "release");
    const HeldFifo release(Jdk() / "release");
    ASSERT_TRUE(release);
    StartProgram();
    ASSERT_TRUE(SelectTab(session_->Control("PageControl1"), kDiagnosisTab));
    ASSERT_TRUE(WaitUntil([&] { return Summary() == L"正在诊断…"; }, kBound));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(session_->Close(kBound), std::optional<DWORD>(0));
    // Gone before the waiting check's bound (10 s) could have passed.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(9));
}

// The page at 96 and 144 dpi: every control inside the page. Under a display
// with pixels (the X11 prefix) each is also photographed into the directory
// QM_SCREENSHOT_DIR names.
TEST_F(DiagnosisPage, FitsThePageAt96And144Dpi) {
    for (const DWORD dpi : {96u, 144u}) {
        SCOPED_TRACE(dpi);
        const DisplayScale scale(dpi);
        StartProgram();
        const Rows rows = ShowPage();
        ASSERT_FALSE(rows.empty());
        const HWND page = GetParent(List());
        RECT area{};
        GetClientRect(page, &area);
        for (const char* name :
             {"DiagnosisSummary", "DiagnosisList", "DiagnosisDetails", "DiagnoseButton", "CopyReportButton"}) {
            const WindowInfo control = DescribeWindow(session_->Control(name));
            EXPECT_GE(control.rectInParent.left, area.left) << name;
            EXPECT_GE(control.rectInParent.top, area.top) << name;
            EXPECT_LE(control.rectInParent.right, area.right) << name;
            EXPECT_LE(control.rectInParent.bottom, area.bottom) << name;
        }
        wchar_t directory[MAX_PATH] = {};
        if (ScreenHasPixels() && GetEnvironmentVariableW(L"QM_SCREENSHOT_DIR", directory, MAX_PATH) > 0) {
            RedrawWindow(session_->MainWindow(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            SendWithTimeout(session_->MainWindow(), WM_NULL);
            const std::wstring file = std::wstring(directory) + L"\\diagnosis-" + std::to_wstring(dpi) + L"dpi";
            const CaptureResult captured = CaptureWindow(session_->MainWindow(), file + L".bmp");
            EXPECT_TRUE(captured) << captured.failure;
            // And the longest explanation, wrapped in the details.
            const auto longest = std::max_element(
                rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.at(2).size() < b.at(2).size(); });
            ASSERT_TRUE(SelectRow(List(), static_cast<int>(longest - rows.begin())));
            ASSERT_TRUE(WaitUntil([&] { return Details() == DetailsOf(*longest); }, kBound));
            RedrawWindow(session_->MainWindow(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            SendWithTimeout(session_->MainWindow(), WM_NULL);
            const CaptureResult longCaptured = CaptureWindow(session_->MainWindow(), file + L"-longest.bmp");
            EXPECT_TRUE(longCaptured) << longCaptured.failure;
        }
        EXPECT_EQ(session_->Close(), std::optional<DWORD>(0));
        session_.reset();
    }
}

}  // namespace
}  // namespace qm::test

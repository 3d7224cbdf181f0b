// The Tomcat and browser data pages, clicked as a user would, with their
// effects on files, services and processes.
#include <windows.h>
#include <tlhelp32.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/quillmate_session.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "support/lib/controls.h"
#include "support/lib/links.h"
#include "support/lib/listening_port.h"
#include "support/lib/message_box.h"
#include "support/lib/processes.h"
#include "support/lib/test_service_control.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
constexpr auto kBound = std::chrono::seconds(20);

// The identifiers of the processes whose executable has this name.
std::vector<DWORD> ProcessesNamed(const std::wstring& exeName) {
    std::vector<DWORD> found;
    const win32::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) found.push_back(entry.th32ProcessID);
    return found;
}

// A port nobody listens on right now, picked by the system.
unsigned FreePort() {
    ListeningPort probe;
    return probe.Port();
}

class TomcatPage : public ::testing::Test {
protected:
    // server.xml with its HTTP/1.1 connector on a free port, which the port
    // of a test service that stands for Tomcat then listens on.
    unsigned ConnectorOnAFreePort() {
        const unsigned port = FreePort();
        CreateFileWithText(Tomcat() / "conf" / "server.xml",
                           "<Server port=\"-1\"><Service name=\"Catalina\"><Connector port=\"" + std::to_string(port) +
                               "\" protocol=\"HTTP/1.1\"/></Service></Server>");
        return port;
    }

    fs::path Jdk() const { return scratch_.Path() / "jdk"; }
    fs::path Tomcat() const { return scratch_.Path() / "tomcat"; }

    void StartProgram(const std::wstring& catalinaHome, ProgramOptions options = {}) {
        if (catalinaHome.empty())
            options.RemoveVariable(L"CATALINA_HOME");
        else
            options.SetVariable(L"CATALINA_HOME", catalinaHome);
        options.SetVariable(L"JAVA_HOME", Jdk().wstring());
        session_.emplace(QuillmateSession::Start(options));
    }
    void StartProgram() { StartProgram(Tomcat().wstring()); }

    // Clicks the button and answers the information box it opens; its text.
    std::wstring ClickAndReadBox(const char* button) {
        PostClick(session_->Control(button));
        const HWND box = WaitForMessageBox(session_->ProcessId(), kBound);
        if (!box) return L"(no box)";
        const MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(info.caption, L"提示");
        AnswerMessageBox(box);
        return info.text;
    }

    ScratchDirectory scratch_;
    std::optional<QuillmateSession> session_;
};

TEST_F(TomcatPage, ClearDeletesWorkCatalinaWithEverythingBelowAndKeepsWork) {
    CreateFileWithText(Tomcat() / "work" / "Catalina" / "localhost" / "_" / "org" / "apache" / "jsp" /
                       "index_jsp.java");
    CreateFileWithText(Tomcat() / "work" / "keep.txt");
    StartProgram();
    EXPECT_EQ(ClickAndReadBox("cxButton7"), L"已删除临时文件!");
    EXPECT_FALSE(fs::exists(Tomcat() / "work" / "Catalina"));
    EXPECT_TRUE(fs::exists(Tomcat() / "work" / "keep.txt"));
}

TEST_F(TomcatPage, ClearLeavesALinkedCatalinaAndWhatItPointsTo) {
    const fs::path target = scratch_.Path() / "elsewhere";
    CreateFileWithText(target / "localhost" / "keep.txt");
    const fs::path catalina = Tomcat() / "work" / "Catalina";
    fs::create_directories(Tomcat() / "work");
    ASSERT_TRUE(MakeDirectoryLink(catalina, target));
    StartProgram();

    EXPECT_EQ(ClickAndReadBox("cxButton7"), L"删除临时文件失败!");
    EXPECT_TRUE(fs::exists(target / "localhost" / "keep.txt"));
    EXPECT_TRUE(IsReparsePoint(catalina));
    RemoveDirectoryLink(catalina);
}

// A user who may write below the installation makes work a link to a
// folder of someone else's; the administrator's clear must not reach it.
TEST_F(TomcatPage, ClearDeletesNothingThroughALinkedWork) {
    const fs::path target = scratch_.Path() / "precious";
    CreateFileWithText(target / "Catalina" / "localhost" / "keep.txt");
    fs::create_directories(Tomcat());
    ASSERT_TRUE(MakeDirectoryLink(Tomcat() / "work", target));
    StartProgram();

    EXPECT_EQ(ClickAndReadBox("cxButton7"), L"删除临时文件失败!");
    EXPECT_TRUE(fs::exists(target / "Catalina" / "localhost" / "keep.txt"));
    RemoveDirectoryLink(Tomcat() / "work");
}

TEST_F(TomcatPage, ClearWithATrailingBackslashAndNothingToDeleteStillReportsCleared) {
    fs::create_directories(Tomcat() / "work");
    StartProgram(Tomcat().wstring() + L"\\");
    EXPECT_EQ(ClickAndReadBox("cxButton7"), L"已删除临时文件!");
    EXPECT_TRUE(fs::exists(Tomcat() / "work"));
}

TEST_F(TomcatPage, WithoutCatalinaHomeClearAndStartRefuseAndTouchNothing) {
    StartProgram(L"");
    EXPECT_EQ(ClickAndReadBox("cxButton7"), L"未设置Tomcat安装目录(CATALINA_HOME)!");
    EXPECT_EQ(ClickAndReadBox("cxButton8"), L"未设置Tomcat安装目录(CATALINA_HOME)!");
}

TEST_F(TomcatPage, StartAsProgramRunsTomcat6FromBinAndSaysNothing) {
    CopyProgram(L"qm_record_start.exe", Tomcat() / "bin" / "tomcat6.exe");
    const fs::path record = scratch_.Path() / "started.record";
    StartProgram(Tomcat().wstring(), ProgramOptions().SetVariable(L"QM_RECORD_FILE", record.wstring()));
    PostClick(session_->Control("cxButton8"));
    ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(record).has_value(); }, kBound));
    const std::string text = *ReadWholeFile(record);
    EXPECT_NE(text.find("directory=" + win32::Narrow((Tomcat() / "bin").wstring())), std::string::npos) << text;
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
}

TEST_F(TomcatPage, StartAsServiceReportsTheOutcome) {
    RegisteredTestService tomcat6({.startDelayMs = 1200, .listenPort = ConnectorOnAFreePort()},
                                  RegisteredTestService::ExactName{L"tomcat6"});
    StartProgram();
    EXPECT_EQ(ClickAndReadBox("cxButton9"), L"Tomcat服务已启动!");
    EXPECT_EQ(tomcat6.State(), std::optional<DWORD>(SERVICE_RUNNING));
    // Already running: the start is refused.
    EXPECT_EQ(ClickAndReadBox("cxButton9"), L"Tomcat服务启动失败!");
}

// The runner reports running, then its JVM gives up: the click waits for
// Tomcat, says that the start failed and shows why on the diagnosis page.
TEST_F(TomcatPage, AStartThatEndsAMomentLaterFailsAndTheDiagnosisShowsThisStart) {
    ConnectorOnAFreePort();
    const fs::path stderrLog = Tomcat() / "logs" / "tomcat6-stderr.2026-12-09.log";
    CreateFileWithText(stderrLog, "Exception in thread \"main\" java.lang.OutOfMemoryError: an older run\r\n");
    RegisteredTestService tomcat6({.logFile = stderrLog.wstring(),
                                   .logLine = L"Exception in thread \"main\" java.lang.UnsupportedClassVersionError: "
                                              L"org/apache/catalina/startup/Bootstrap : Unsupported major.minor "
                                              L"version 52.0",
                                   .exitAfterMs = 1500,
                                   .exitCode = 1},
                                  RegisteredTestService::ExactName{L"tomcat6"});
    StartProgram();
    PostClick(session_->Control("cxButton9"));
    const HWND box = WaitForMessageBox(session_->ProcessId(), kBound);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadMessageBox(box).text, L"Tomcat服务启动失败!");
    // The rows then see the service as it ended.
    ASSERT_TRUE(tomcat6.WaitForState(SERVICE_STOPPED));
    AnswerMessageBox(box);

    const HWND pages = session_->Control("PageControl1");
    ASSERT_TRUE(WaitUntil([&] { return CurrentTab(pages) == 4; }, kBound));
    const HWND list = session_->Control("DiagnosisList");
    ASSERT_TRUE(WaitUntil([&] { return ReportRowCount(list) > 2; }, kBound));
    const auto rows = ReportRows(list, 3);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], L"本次启动 · 服务 tomcat6");
    EXPECT_EQ(rows[0][1], L"错误");
    EXPECT_NE(rows[0][2].find(L"服务以它自己的退出代码 1 结束"), std::wstring::npos) << rows[0][2];
    EXPECT_EQ(rows[1][0], L"本次启动 · 日志 · tomcat6-stderr");
    EXPECT_EQ(rows[1][1], L"错误");
    EXPECT_NE(rows[1][2].find(L"需要 Java 8 或更高版本"), std::wstring::npos) << rows[1][2];
    EXPECT_NE(rows[2][0].rfind(L"本次启动", 0), 0u) << "the older run's line is no row of this start";
    // The first error, this start's, is the one shown in full.
    DWORD_PTR selected = 99;
    ASSERT_NE(SendMessageTimeoutW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, SMTO_NORMAL, 5000,
                                  &selected),
              0);
    EXPECT_EQ(selected, 0u);
}

TEST_F(TomcatPage, StartAsProgramStartsNoOtherTomcat6WhenBinHasNone) {
    fs::create_directories(Tomcat() / "bin");
    const fs::path elsewhere = scratch_.Path() / "on-the-path";
    CopyProgram(L"qm_record_start.exe", elsewhere / "tomcat6.exe");
    CopyProgram(L"qm_record_start.exe", scratch_.Path() / "cwd" / "tomcat6.exe");
    const fs::path record = scratch_.Path() / "started.record";
    ProgramOptions options;
    options.SetVariable(L"QM_RECORD_FILE", record.wstring());
    options.SetVariable(L"PATH", elsewhere.wstring() + L";" + _wgetenv(L"PATH"));
    options.workingDirectory = (scratch_.Path() / "cwd").wstring();
    StartProgram(Tomcat().wstring(), options);

    // Sent, so it returns once the handler has: any program it started is
    // in the process table from then on, or has written its record and gone.
    DWORD_PTR result = 0;
    ASSERT_NE(SendMessageTimeoutW(session_->Control("cxButton8"), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result), 0);
    EXPECT_TRUE(ProcessesNamed(L"tomcat6.exe").empty());
    EXPECT_FALSE(ReadWholeFile(record).has_value());
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
}

TEST_F(TomcatPage, AClickDuringTheServiceStartsWaitRunsNothing) {
    RegisteredTestService tomcat6({.startDelayMs = 5000, .listenPort = ConnectorOnAFreePort()},
                                  RegisteredTestService::ExactName{L"tomcat6"});
    StartedProgram tomcat = StartSleeperAs(Tomcat() / "bin" / "tomcat6.exe");
    StartProgram();
    ASSERT_TRUE(PostClick(session_->Control("cxButton9")));
    ASSERT_TRUE(tomcat6.WaitForState(SERVICE_START_PENDING));

    // The start's wait handles the sent click; the stop would end the
    // Tomcat process and open a box of its own, and this send would wait for it.
    DWORD_PTR result = 0;
    ASSERT_NE(SendMessageTimeoutW(session_->Control("cxButton10"), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result), 0);
    EXPECT_EQ(tomcat6.State(), std::optional<DWORD>(SERVICE_START_PENDING)) << "the click came after the wait";
    EXPECT_TRUE(tomcat.IsRunning());

    const HWND box = WaitForMessageBox(session_->ProcessId(), kBound);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadMessageBox(box).text, L"Tomcat服务已启动!");
    AnswerMessageBox(box);
    ASSERT_NE(SendMessageTimeoutW(session_->MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result), 0);
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
    EXPECT_EQ(tomcat6.State(), std::optional<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(tomcat.IsRunning());
}

TEST_F(TomcatPage, StartAsServiceWithoutTheServiceFails) {
    StartProgram();
    EXPECT_EQ(ClickAndReadBox("cxButton9"), L"Tomcat服务启动失败!");
}

TEST_F(TomcatPage, StopEndsTheServiceAndOnlyTheProcessesInsideTheInstallations) {
    RegisteredTestService tomcat6({.stopDelayMs = 1200}, RegisteredTestService::ExactName{L"tomcat6"});
    ASSERT_TRUE(tomcat6.StartAndWaitUntilRunning());
    StartedProgram javaw = StartSleeperAs(Jdk() / "bin" / "javaw.exe");
    StartedProgram tomcat = StartSleeperAs(Tomcat() / "bin" / "tomcat6.exe");
    StartedProgram otherJdk = StartSleeperAs(scratch_.Path() / "jdk2" / "bin" / "javaw.exe");
    StartedProgram java = StartSleeperAs(Jdk() / "bin" / "java.exe");
    StartProgram();

    EXPECT_EQ(ClickAndReadBox("cxButton10"), L"已关闭Tomcat服务!");
    EXPECT_EQ(tomcat6.State(), std::optional<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(javaw.WaitForExit(kBound).has_value());
    EXPECT_TRUE(tomcat.WaitForExit(kBound).has_value());
    EXPECT_TRUE(otherJdk.IsRunning()) << "a Java outside JAVA_HOME was ended";
    EXPECT_TRUE(java.IsRunning()) << "java.exe is not javaw";
    EXPECT_TRUE(session_->Program().IsRunning());
}

// Tomcat 9 as its installer leaves it: bin\tomcat9.exe run by the service
// "Tomcat9" (a copy of the test service in the runner's place).
TEST_F(TomcatPage, Tomcat9StartsAndStopsTheServiceThatRunsIt) {
    const fs::path runner = Tomcat() / "bin" / "tomcat9.exe";
    CopyProgram(L"qm_test_service.exe", runner);
    CreateFileWithText(Tomcat() / "bin" / "tomcat9w.exe");
    CreateFileWithText(Tomcat() / "RELEASE-NOTES", "                     Apache Tomcat Version 9.0.85\n");
    RegisteredTestService tomcat9(
        {.startDelayMs = 600,
         .stopDelayMs = 600,
         .program = runner.wstring(),
         .leadingArguments = L"//RS//Tomcat9",
         .listenPort = ConnectorOnAFreePort()},
        RegisteredTestService::ExactName{L"Tomcat9"});
    StartProgram();

    EXPECT_EQ(ClickAndReadBox("cxButton9"), L"Tomcat服务已启动!");
    EXPECT_EQ(tomcat9.State(), std::optional<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(ClickAndReadBox("cxButton10"), L"已关闭Tomcat服务!");
    EXPECT_EQ(tomcat9.State(), std::optional<DWORD>(SERVICE_STOPPED));
}

// Puts a file in another's place for one test and the original back after.
class ReplacedFile {
public:
    ReplacedFile(fs::path file, const std::wstring& programFileName)
        : file_(std::move(file)), kept_(file_.wstring() + L".qm-kept") {
        if (fs::exists(file_)) fs::rename(file_, kept_);
        CopyProgram(programFileName, file_);
    }
    ~ReplacedFile() {
        std::error_code ignored;
        fs::remove(file_, ignored);
        if (fs::exists(kept_, ignored)) fs::rename(kept_, file_, ignored);
    }
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

private:
    fs::path file_;
    fs::path kept_;
};

fs::path SystemDirectory() {
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    return fs::path(std::wstring(directory, length));
}

// The browser data buttons start the control panel's deletion through the
// system's rundll32.exe; a stand-in of ours in the prefix's system directory
// records what it was given (the harness turns Wine's own off). One in the
// program's current directory must never run.
TEST_F(TomcatPage, BrowserDataButtonsPassTheirOwnNumbersToTheSystemsRundll32) {
    const ReplacedFile standIn(SystemDirectory() / "rundll32.exe", L"qm_record_start.exe");
    CopyProgram(L"qm_record_start.exe", scratch_.Path() / "cwd" / "rundll32.exe");
    const fs::path record = scratch_.Path() / "rundll32.record";
    ProgramOptions options;
    options.SetVariable(L"QM_RECORD_FILE", record.wstring());
    options.workingDirectory = (scratch_.Path() / "cwd").wstring();
    StartProgram(Tomcat().wstring(), options);
    ASSERT_TRUE(SelectTab(session_->Control("PageControl1"), 1));

    const std::pair<const char*, const char*> buttons[] = {{"cxButton1", "8"},  {"cxButton2", "2"},
                                                           {"cxButton3", "1"},  {"cxButton4", "16"},
                                                           {"cxButton5", "32"}, {"cxButton6", "255"}};
    for (const auto& [button, number] : buttons) {
        SCOPED_TRACE(button);
        fs::remove(record);
        PostClick(session_->Control(button));
        ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(record).has_value(); }, kBound));
        const std::string text = *ReadWholeFile(record);
        EXPECT_NE(text.find("argument=inetcpl.cpl,ClearMyTracksByProcess\nargument=" + std::string(number) + "\n"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("program=" + win32::Narrow((SystemDirectory() / "rundll32.exe").wstring())),
                  std::string::npos)
            << text;
        EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
    }
}

}  // namespace
}  // namespace qm::test

// The Tomcat and browser data pages, clicked as a user would, with their
// effects on files, services and processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/quillmate_session.h"
#include "platform/win32/wide_text.h"
#include "support/lib/controls.h"
#include "support/lib/links.h"
#include "support/lib/message_box.h"
#include "support/lib/processes.h"
#include "support/lib/test_service_control.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
constexpr auto kBound = std::chrono::seconds(20);

class TomcatPage : public ::testing::Test {
protected:
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

TEST_F(TomcatPage, ClearRemovesALinkedCatalinaAloneOrSaysItFailed) {
    const fs::path target = scratch_.Path() / "elsewhere";
    CreateFileWithText(target / "localhost" / "keep.txt");
    const fs::path catalina = Tomcat() / "work" / "Catalina";
    fs::create_directories(Tomcat() / "work");
    ASSERT_TRUE(MakeDirectoryLink(catalina, target));
    StartProgram();

    const std::wstring notice = ClickAndReadBox("cxButton7");
    EXPECT_TRUE(fs::exists(target / "localhost" / "keep.txt"));
    // Wine 8 can remove such a link by no means: the link stays, and so must
    // the message say.
    if (IsReparsePoint(catalina)) {
        EXPECT_EQ(notice, L"删除临时文件失败!");
        RemoveDirectoryLink(catalina);
    } else {
        EXPECT_EQ(notice, L"已删除临时文件!");
    }
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
    RegisteredTestService tomcat6({.startDelayMs = 1200}, RegisteredTestService::ExactName{L"tomcat6"});
    StartProgram();
    EXPECT_EQ(ClickAndReadBox("cxButton9"), L"Tomcat服务已启动!");
    EXPECT_EQ(tomcat6.State(), std::optional<DWORD>(SERVICE_RUNNING));
    // Already running: the start is refused.
    EXPECT_EQ(ClickAndReadBox("cxButton9"), L"Tomcat服务启动失败!");
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
        {.startDelayMs = 600, .stopDelayMs = 600, .program = runner.wstring(), .leadingArguments = L"//RS//Tomcat9"},
        RegisteredTestService::ExactName{L"Tomcat9"});
    StartProgram();

    EXPECT_EQ(ClickAndReadBox("cxButton9"), L"Tomcat服务已启动!");
    EXPECT_EQ(tomcat9.State(), std::optional<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(ClickAndReadBox("cxButton10"), L"已关闭Tomcat服务!");
    EXPECT_EQ(tomcat9.State(), std::optional<DWORD>(SERVICE_STOPPED));
}

// The browser data buttons start the control panel's deletion through
// rundll32.exe; a stand-in of ours in the program's current directory
// records what it was given (the harness turns Wine's own off).
TEST_F(TomcatPage, BrowserDataButtonsPassTheirOwnNumbers) {
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
        EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
    }
}

}  // namespace
}  // namespace qm::test

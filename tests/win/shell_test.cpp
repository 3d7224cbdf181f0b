// The shell's deletion and program start, and the Tomcat page's buttons over
// them, inside a scratch directory of the test.
#include "browser/browser_data.h"
#include "platform/win32/file_inspector_win.h"
#include "platform/win32/process_table_win.h"
#include "platform/win32/shell_win.h"
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/wide_text.h"
#include "support/lib/links.h"
#include "support/lib/processes.h"
#include "support/lib/wait.h"
#include "tomcat/tomcat_page.h"

#include <gtest/gtest.h>

#include "win/test_ports.h"
#include <windows.h>

#include <map>

namespace qm {
namespace {

using test::MapEnvironment;
using test::NoService;

namespace fs = std::filesystem;

// Tomcat's work tree: work\Catalina\localhost\<app> with compiled pages, and
// a file beside Catalina that must survive.
void MakeWorkTree(const fs::path& home) {
    test::CreateFileWithText(home / L"work" / L"Catalina" / L"localhost" / L"app" / L"index_jsp.class");
    test::CreateFileWithText(home / L"work" / L"Catalina" / L"localhost" / L"_" / L"SESSIONS.ser");
    test::CreateFileWithText(home / L"work" / L"keep.txt");
}

class ShellTest : public ::testing::Test {
protected:
    test::ScratchDirectory scratch;
    fs::path home = scratch.Path() / L"tomcat";
    win32::DesktopShell shell;
    win32::Win32FileInspector files;
};

TEST_F(ShellTest, OpensAPlainDirectoryAndHoldsItButTellsALinkAFileOrNothing) {
    const fs::path plain = scratch.Path() / L"plain";
    fs::create_directories(plain);
    test::CreateFileWithText(scratch.Path() / L"file.txt");
    const fs::path link = scratch.Path() / L"link";
    ASSERT_TRUE(test::MakeDirectoryLink(link, plain));
    EXPECT_EQ(shell.OpenDirectory(scratch.Text(L"link")).kind, PathKind::Link);
    EXPECT_EQ(shell.OpenDirectory(scratch.Text(L"file.txt")).kind, PathKind::Other);
    EXPECT_EQ(shell.OpenDirectory(scratch.Text(L"missing")).kind, PathKind::Missing);
    EXPECT_EQ(shell.OpenDirectory(scratch.Text(L"missing\\below")).kind, PathKind::Missing);
    test::RemoveDirectoryLink(link);

    FoundDirectory held = shell.OpenDirectory(scratch.Text(L"plain"));
    ASSERT_EQ(held.kind, PathKind::Directory);
    ASSERT_NE(held.directory, nullptr);
    EXPECT_FALSE(MoveFileW(plain.c_str(), (scratch.Path() / L"moved").c_str()));
    EXPECT_FALSE(RemoveDirectoryW(plain.c_str()));
    held.directory.reset();
    EXPECT_TRUE(RemoveDirectoryW(plain.c_str()));
}

// The moment a walk by paths was open to: a folder listed as plain is a link
// when its turn comes.
TEST_F(ShellTest, AFolderSwappedForALinkAfterTheListingIsALinkAndWhatItLeadsToStays) {
    MakeWorkTree(home);
    const fs::path elsewhere = scratch.Path() / L"elsewhere";
    test::CreateFileWithText(elsewhere / L"keep.txt");
    FoundDirectory catalina = shell.OpenDirectory(scratch.Text(L"tomcat\\work\\Catalina"));
    ASSERT_NE(catalina.directory, nullptr);
    const auto entries = catalina.directory->Entries();
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ(entries->front().name, u"localhost");
    EXPECT_EQ(entries->front().kind, PathKind::Directory);

    const fs::path localhost = home / L"work" / L"Catalina" / L"localhost";
    ASSERT_TRUE(MoveFileW(localhost.c_str(), (scratch.Path() / L"localhost-moved").c_str()));
    ASSERT_TRUE(test::MakeDirectoryLink(localhost, elsewhere));
    EXPECT_EQ(catalina.directory->OpenDirectory(u"localhost").kind, PathKind::Link);
    // Windows removes the link itself; Wine can only follow it, so it stays.
    const bool removed = catalina.directory->RemoveEntry(u"localhost");
    EXPECT_EQ(removed, !test::IsSymbolicLink(localhost));
    EXPECT_TRUE(fs::exists(elsewhere / L"keep.txt"));
    if (!removed) test::RemoveDirectoryLink(localhost);
}

TEST_F(ShellTest, ClearLeavesWhatALinkInsideLeadsTo) {
    MakeWorkTree(home);
    const fs::path elsewhere = scratch.Path() / L"elsewhere";
    test::CreateFileWithText(elsewhere / L"inner" / L"keep.txt");
    const fs::path link = home / L"work" / L"Catalina" / L"localhost" / L"shared";
    ASSERT_TRUE(test::MakeDirectoryLink(link, elsewhere));
    MapEnvironment environment;
    environment.variables["CATALINA_HOME"] = scratch.Text(L"tomcat");
    NoService service;
    win32::ToolhelpProcessTable table;
    test::ThreadWaiting waiting;
    win32::Win32ServiceInspector services;
    const std::string notice = tomcat::ClearWorkDirectory({service, table, environment, shell, waiting, files, services});
    const bool linkStayed = test::IsSymbolicLink(link);
    EXPECT_EQ(notice, linkStayed ? "删除临时文件失败!" : "已删除临时文件!");
    EXPECT_TRUE(fs::exists(elsewhere / L"inner" / L"keep.txt"));
    if (linkStayed) test::RemoveDirectoryLink(link);
}

TEST_F(ShellTest, ClearButtonDeletesTheWorkDirectoryOfTheInstallation) {
    MakeWorkTree(home);
    MapEnvironment environment;
    environment.variables["CATALINA_HOME"] = scratch.Text(L"tomcat") + "\\";
    NoService service;
    win32::ToolhelpProcessTable table;
    test::ThreadWaiting waiting;
    win32::Win32ServiceInspector services;
    EXPECT_EQ(tomcat::ClearWorkDirectory({service, table, environment, shell, waiting, files, services}),
              "已删除临时文件!");
    EXPECT_FALSE(fs::exists(home / L"work" / L"Catalina"));
    EXPECT_TRUE(fs::exists(home / L"work" / L"keep.txt"));
}

// The stand-in writes down how it was started; we wait for its record.
class StartTest : public ShellTest {
protected:
    fs::path record = scratch.Path() / L"record.txt";
    win32::Win32ServiceInspector services;
    void SetUp() override { SetEnvironmentVariableW(L"QM_RECORD_FILE", record.c_str()); }
    void TearDown() override { SetEnvironmentVariableW(L"QM_RECORD_FILE", nullptr); }

    std::string AwaitRecord() {
        std::optional<std::string> text;
        test::WaitUntil([&] { return (text = test::ReadWholeFile(record)).has_value(); });
        return text.value_or("");
    }
};

TEST_F(StartTest, StartButtonRunsTomcat6InItsBinDirectory) {
    test::CopyProgram(L"qm_record_start.exe", home / L"bin" / L"tomcat6.exe");
    MapEnvironment environment;
    environment.variables["CATALINA_HOME"] = scratch.Text(L"tomcat") + "\\";
    EXPECT_EQ(tomcat::StartTomcatProgram(environment, files, services, shell), std::nullopt);
    const auto text = AwaitRecord();
    EXPECT_NE(text.find("directory=" + scratch.Text(L"tomcat\\bin") + "\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("argument="), std::string::npos) << text;
}

TEST_F(StartTest, StartButtonRunsTheRunnerOfTomcat9AndNotItsMonitor) {
    test::CopyProgram(L"qm_record_start.exe", home / L"bin" / L"tomcat9.exe");
    test::CopyProgram(L"qm_record_start.exe", home / L"bin" / L"tomcat9w.exe");
    MapEnvironment environment;
    environment.variables["CATALINA_HOME"] = scratch.Text(L"tomcat");
    EXPECT_EQ(tomcat::StartTomcatProgram(environment, files, services, shell), std::nullopt);
    const auto text = AwaitRecord();
    EXPECT_NE(text.find("tomcat9.exe\n"), std::string::npos) << text;
    EXPECT_NE(text.find("directory=" + scratch.Text(L"tomcat\\bin") + "\n"), std::string::npos) << text;
}

TEST_F(StartTest, StartReportsAProgramThatIsNotThere) {
    EXPECT_FALSE(shell.StartIn(scratch.Text(L"tomcat\\bin\\tomcat6.exe"), scratch.Text(L"tomcat\\bin")));
}

TEST_F(StartTest, TheSystemDirectoryHoldsRundll32) {
    const auto system = shell.SystemDirectory();
    ASSERT_FALSE(system.empty());
    EXPECT_TRUE(fs::exists(fs::path(win32::Widen(system)) / L"rundll32.exe"));
}

TEST_F(StartTest, OpenPassesTheParametersAsGiven) {
    const auto program = test::CopyProgram(L"qm_record_start.exe", scratch.Path() / L"panel.exe");
    EXPECT_TRUE(shell.Open(win32::Narrow(program.wstring()), browser::BrowserDataParameters(6)));
    const auto text = AwaitRecord();
    EXPECT_NE(text.find("argument=inetcpl.cpl,ClearMyTracksByProcess\nargument=255\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace qm

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

TEST_F(ShellTest, DeletesCatalinaWithEverythingBelowAndKeepsWork) {
    MakeWorkTree(home);
    const auto catalina = scratch.Text(L"tomcat\\work\\Catalina");
    EXPECT_TRUE(files.Exists(catalina));
    EXPECT_TRUE(shell.DeleteTree(catalina, "正在删除文件夹"));
    EXPECT_FALSE(fs::exists(home / L"work" / L"Catalina"));
    EXPECT_FALSE(files.Exists(catalina));
    EXPECT_TRUE(fs::exists(home / L"work" / L"keep.txt"));
}

TEST_F(ShellTest, TakesADoubledSeparatorAsOne) {
    MakeWorkTree(home);
    EXPECT_TRUE(shell.DeleteTree(scratch.Text(L"tomcat") + "\\\\work\\Catalina", "正在删除文件夹"));
    EXPECT_FALSE(fs::exists(home / L"work" / L"Catalina"));
}

TEST_F(ShellTest, ReportsAMissingTree) {
    EXPECT_FALSE(shell.DeleteTree(scratch.Text(L"missing\\work\\Catalina"), "正在删除文件夹"));
    EXPECT_FALSE(files.Exists(scratch.Text(L"missing\\work\\Catalina")));
    EXPECT_FALSE(files.Exists(scratch.Text(L"missing")));
    EXPECT_TRUE(files.Exists(scratch.Text()));
}

TEST_F(ShellTest, TellsALinkFromADirectoryAndNeverRemovesItsTarget) {
    const fs::path target = scratch.Path() / L"elsewhere";
    const fs::path link = scratch.Path() / L"link";
    fs::create_directories(target);
    test::CreateFileWithText(scratch.Path() / L"file.txt");
    ASSERT_TRUE(test::MakeDirectoryLink(link, target));
    EXPECT_EQ(shell.KindOf(scratch.Text(L"link")), PathKind::Link);
    EXPECT_EQ(shell.KindOf(scratch.Text(L"elsewhere")), PathKind::Directory);
    EXPECT_EQ(shell.KindOf(scratch.Text(L"file.txt")), PathKind::Other);
    EXPECT_EQ(shell.KindOf(scratch.Text(L"missing")), PathKind::Missing);
    EXPECT_EQ(shell.KindOf(scratch.Text(L"missing\\below")), PathKind::Missing);

    // An empty target is the one Wine would take in the link's place.
    const bool removed = shell.RemoveLink(scratch.Text(L"link"));
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(removed, !test::IsReparsePoint(link));
    if (!removed) test::RemoveDirectoryLink(link);
}

TEST_F(ShellTest, HoldsAPlainDirectorySoItCannotGoAndRefusesALink) {
    const fs::path plain = scratch.Path() / L"plain";
    fs::create_directories(plain);
    const fs::path link = scratch.Path() / L"link";
    ASSERT_TRUE(test::MakeDirectoryLink(link, plain));
    EXPECT_EQ(shell.HoldDirectory(scratch.Text(L"link")), nullptr);
    EXPECT_EQ(shell.HoldDirectory(scratch.Text(L"missing")), nullptr);
    test::RemoveDirectoryLink(link);

    auto held = shell.HoldDirectory(scratch.Text(L"plain"));
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(MoveFileW(plain.c_str(), (scratch.Path() / L"moved").c_str()));
    EXPECT_FALSE(RemoveDirectoryW(plain.c_str()));
    held.reset();
    EXPECT_TRUE(RemoveDirectoryW(plain.c_str()));
}

TEST_F(ShellTest, FindsTheLinksInsideATreeWithoutFollowingThem) {
    MakeWorkTree(home);
    const fs::path target = scratch.Path() / L"elsewhere";
    test::CreateFileWithText(target / L"inner" / L"keep.txt");
    const fs::path link = home / L"work" / L"Catalina" / L"localhost" / L"shared";
    ASSERT_TRUE(test::MakeDirectoryLink(link, target));
    const auto links = shell.LinksBelow(scratch.Text(L"tomcat\\work\\Catalina"));
    test::RemoveDirectoryLink(link);
    ASSERT_TRUE(links.has_value());
    EXPECT_EQ(*links, (std::vector<std::string>{scratch.Text(L"tomcat\\work\\Catalina\\localhost\\shared")}));
    EXPECT_EQ(shell.LinksBelow(scratch.Text(L"missing")), std::nullopt);
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

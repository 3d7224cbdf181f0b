#include "tomcat/tomcat_page.h"

#include "unit/diagnosis_fakes.h"
#include "unit/services_fakes.h"
#include "unit/tomcat_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::tomcat {
namespace {

using test::FakeFiles;
using test::FakeProcessEnvironment;
using test::FakeProcessTable;
using test::FakeServices;
using test::FakeServiceStopper;
using test::FakeShell;
using test::FakeWaiting;
using test::Journal;

// --- Paths --------------------------------------------------------------------

TEST(WorkDirectoryPath, AppendsWorkCatalinaAsIs) {
    EXPECT_EQ(WorkDirectoryPath("C:\\tomcat"), "C:\\tomcat\\work\\Catalina");
    EXPECT_EQ(WorkDirectoryPath("C:\\tomcat\\"), "C:\\tomcat\\\\work\\Catalina");
}

TEST(ProgramDirectoryPath, PutsExactlyOneSeparatorBeforeBin) {
    EXPECT_EQ(ProgramDirectoryPath("C:\\tomcat"), "C:\\tomcat\\bin");
    EXPECT_EQ(ProgramDirectoryPath("C:\\tomcat\\"), "C:\\tomcat\\bin");
    EXPECT_EQ(ProgramDirectoryPath("D:\\"), "D:\\bin");
}

// --- The buttons --------------------------------------------------------------

class TomcatPageTest : public ::testing::Test {
protected:
    Journal journal;
    FakeServiceStopper service{&journal};
    FakeProcessTable table{&journal};
    FakeProcessEnvironment environment;
    FakeShell shell{&journal};
    FakeWaiting waiting{journal};
    test::FakeShellFiles files{shell};
    FakeServices installedServices;
    TomcatPorts ports{service, table, environment, shell, waiting, files, installedServices};

    // C:\tomcat as Tomcat 9's installer leaves it.
    void InstallTomcat9(const std::string& serviceName) {
        files.files["C:\\tomcat\\bin\\tomcat9.exe"] = "";
        files.files["C:\\tomcat\\bin\\tomcat9w.exe"] = "";
        files.listings["C:\\tomcat\\bin"] = {{"tomcat9.exe"}, {"tomcat9w.exe"}, {"catalina.bat"}};
        installedServices.Install(serviceName, "\"C:\\tomcat\\bin\\tomcat9.exe\" //RS//" + serviceName, 1);
    }

    void SetUp() override {
        environment.variables["CATALINA_HOME"] = "C:\\tomcat";
        for (const char* path : {"C:\\tomcat", "C:\\tomcat\\work", "C:\\tomcat\\work\\Catalina",
                                 "C:\\tomcat\\work\\Catalina\\localhost"})
            shell.Add(path);
    }
    bool Removed(const std::string& call) const {
        return std::find(shell.calls.begin(), shell.calls.end(), call) != shell.calls.end();
    }
};

TEST_F(TomcatPageTest, ClearStopsTomcatThenRemovesCatalinaFromTheTopDownThroughHeldDirectories) {
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_EQ(journal, (Journal{"stop service tomcat6", "snapshot", "hold C:\\tomcat", "hold C:\\tomcat\\work",
                                "hold C:\\tomcat\\work\\Catalina", "hold C:\\tomcat\\work\\Catalina\\localhost",
                                "remove directory C:\\tomcat\\work\\Catalina\\localhost",
                                "release C:\\tomcat\\work\\Catalina\\localhost",
                                "remove directory C:\\tomcat\\work\\Catalina", "release C:\\tomcat\\work\\Catalina",
                                "release C:\\tomcat\\work", "release C:\\tomcat"}));
    EXPECT_TRUE(shell.Has("C:\\tomcat\\work"));
    EXPECT_FALSE(shell.Has("C:\\tomcat\\work\\Catalina"));
}

TEST_F(TomcatPageTest, ClearOfAMissingDirectoryIsDone) {
    shell.nodes.erase(FakeShell::Utf16("C:\\tomcat\\work\\Catalina\\localhost"));
    shell.nodes.erase(FakeShell::Utf16("C:\\tomcat\\work\\Catalina"));
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    shell.nodes.clear();
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
}

TEST_F(TomcatPageTest, ClearSaysSoWhenTheDirectoryIsStillThere) {
    shell.removalFails = true;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
}

TEST_F(TomcatPageTest, ClearDeletesNothingWhileTomcatIsStillUp) {
    const auto before = shell.nodes;
    service.down = false;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
    table.processes.clear();
    service.down = true;
    table.Add(5, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    table.processes.back().openable = false;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(shell.nodes, before);
}

TEST_F(TomcatPageTest, ClearTakesTheInstallationNamedAfterTheStop) {
    for (const char* path : {"D:\\tomcat7", "D:\\tomcat7\\work", "D:\\tomcat7\\work\\Catalina"}) shell.Add(path);
    service.duringStop = [&] { environment.variables["CATALINA_HOME"] = "D:\\tomcat7"; };
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_FALSE(shell.Has("D:\\tomcat7\\work\\Catalina"));
    EXPECT_TRUE(shell.Has("C:\\tomcat\\work\\Catalina"));
}

TEST_F(TomcatPageTest, ClearDeletesNothingWhenAFolderOnTheWayIsALink) {
    // work, made a link to D:\data by a user who may write below the installation.
    for (const char* link : {"C:\\tomcat", "C:\\tomcat\\work", "C:\\tomcat\\work\\Catalina"}) {
        SCOPED_TRACE(link);
        SetUp();
        shell.calls.clear();
        shell.Add(link, FakeShell::Node::Link);
        EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
        for (const auto& call : shell.calls) EXPECT_EQ(call.rfind("remove", 0), std::string::npos) << call;
    }
}

TEST_F(TomcatPageTest, ClearRemovesLinksInsideTheTreeAsLinksWithoutEnteringThem) {
    shell.Add("C:\\tomcat\\work\\Catalina\\localhost\\shared", FakeShell::Node::Link);
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_TRUE(Removed("remove link C:\\tomcat\\work\\Catalina\\localhost\\shared"));
    EXPECT_FALSE(Removed("hold C:\\tomcat\\work\\Catalina\\localhost\\shared"));
}

TEST_F(TomcatPageTest, ClearRemovesAFolderSwappedForALinkAfterItWasListedAsALink) {
    shell.beforeOpen = [&](const std::u16string& path) {
        if (path == FakeShell::Utf16("C:\\tomcat\\work\\Catalina\\localhost")) shell.nodes[path] = FakeShell::Node::Link;
    };
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_TRUE(Removed("remove link C:\\tomcat\\work\\Catalina\\localhost"));
    EXPECT_FALSE(Removed("hold C:\\tomcat\\work\\Catalina\\localhost"));
}

TEST_F(TomcatPageTest, ClearRemovesTheVeryEntryWhoseNameUtf8CannotCarry) {
    // A link named with an unpaired surrogate beside a decoy named as UTF-8
    // would turn that name back.
    shell.nodes[FakeShell::Utf16("C:\\tomcat\\work\\Catalina\\x") + u'\xD800'] = FakeShell::Node::Link;
    shell.nodes[FakeShell::Utf16("C:\\tomcat\\work\\Catalina\\x") + u'\xFFFD'] = FakeShell::Node::File;
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_TRUE(Removed("remove link C:\\tomcat\\work\\Catalina\\x\\u{D800}"));
    EXPECT_TRUE(Removed("remove file C:\\tomcat\\work\\Catalina\\x\\u{FFFD}"));
}

TEST_F(TomcatPageTest, ClearRemovesNothingMoreOnceARemovalFailsOrAListingDoes) {
    shell.Add("C:\\tomcat\\work\\Catalina\\a.class", FakeShell::Node::File);
    shell.Add("C:\\tomcat\\work\\Catalina\\b.class", FakeShell::Node::File);
    shell.refusesRemoval.insert(FakeShell::Utf16("C:\\tomcat\\work\\Catalina\\a.class"));
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
    EXPECT_TRUE(shell.Has("C:\\tomcat\\work\\Catalina\\b.class"));
    EXPECT_TRUE(shell.Has("C:\\tomcat\\work\\Catalina\\localhost"));
    shell.refusesRemoval.clear();
    shell.listingFails = true;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
    EXPECT_TRUE(shell.Has("C:\\tomcat\\work\\Catalina\\b.class"));
}

TEST_F(TomcatPageTest, ClearTakesAValueWithATrailingBackslash) {
    environment.variables["CATALINA_HOME"] = "C:\\tomcat\\";
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_FALSE(shell.Has("C:\\tomcat\\work\\Catalina"));
}

TEST_F(TomcatPageTest, ClearAndStartRefuseWithoutAnInstallation) {
    environment.variables.clear();
    EXPECT_EQ(ClearWorkDirectory(ports), "未设置Tomcat安装目录(CATALINA_HOME)!");
    EXPECT_EQ(StartTomcatProgram(environment, files, installedServices, shell), "未设置Tomcat安装目录(CATALINA_HOME)!");
    // Not even the service is stopped.
    EXPECT_TRUE(journal.empty());
}

TEST_F(TomcatPageTest, StartRunsBinTomcat6ByItsFullPathAndSaysNothing) {
    EXPECT_EQ(StartTomcatProgram(environment, files, installedServices, shell), std::nullopt);
    environment.variables["CATALINA_HOME"] = "C:\\tomcat\\";
    EXPECT_EQ(StartTomcatProgram(environment, files, installedServices, shell), std::nullopt);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"start C:\\tomcat\\bin\\tomcat6.exe in C:\\tomcat\\bin",
                                                     "start C:\\tomcat\\bin\\tomcat6.exe in C:\\tomcat\\bin"}));
}

TEST_F(TomcatPageTest, StartRunsTheRunnerOfTomcat9) {
    InstallTomcat9("Tomcat9");
    EXPECT_EQ(StartTomcatProgram(environment, files, installedServices, shell), std::nullopt);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"start C:\\tomcat\\bin\\tomcat9.exe in C:\\tomcat\\bin"}));
}

TEST_F(TomcatPageTest, StopAndClearStopNoServiceWhenTheInstallersNameRunsAnotherInstallation) {
    files.files["C:\\tomcat\\bin\\tomcat9.exe"] = "";
    files.listings["C:\\tomcat\\bin"] = {{"tomcat9.exe"}};
    installedServices.Install("Tomcat9", "\"D:\\tomcat9\\bin\\tomcat9.exe\" //RS//Tomcat9", 4);
    EXPECT_EQ(StopTomcat(ports), "已关闭Tomcat服务!");
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    for (const auto& entry : journal) EXPECT_EQ(entry.rfind("stop service", 0), std::string::npos) << entry;
}

TEST_F(TomcatPageTest, StopAndClearStopTheServiceThatRunsTheInstallation) {
    InstallTomcat9("MyTomcat");
    StopTomcat(ports);
    ClearWorkDirectory(ports);
    EXPECT_EQ(journal[0], "stop service MyTomcat");
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "stop service MyTomcat"), 2);
}

TEST_F(TomcatPageTest, TheInstallationIsReadAtEachClick) {
    EXPECT_EQ(CurrentInstallation(ports).service, "tomcat6");
    InstallTomcat9("Tomcat9");
    EXPECT_EQ(CurrentInstallation(ports).service, "Tomcat9");
    environment.variables.clear();
    EXPECT_EQ(CurrentInstallation(ports).service, "tomcat6");
}

TEST_F(TomcatPageTest, StopSaysWhetherTomcatIsDown) {
    EXPECT_EQ(StopTomcat(ports), "已关闭Tomcat服务!");
    service.down = false;
    EXPECT_EQ(StopTomcat(ports), "关闭Tomcat服务失败!");
    service.down = true;
    table.Add(5, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    table.processes.back().refusesTermination = true;
    EXPECT_EQ(StopTomcat(ports), "关闭Tomcat服务失败!");
}

TEST_F(TomcatPageTest, StopWorksWithoutAnInstallation) {
    environment.variables.clear();
    EXPECT_EQ(StopTomcat(ports), "已关闭Tomcat服务!");
    EXPECT_EQ(journal.front(), "stop service tomcat6");
}

}  // namespace
}  // namespace qm::tomcat

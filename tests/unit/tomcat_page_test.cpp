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
        shell.paths = {"C:\\tomcat", "C:\\tomcat\\work", "C:\\tomcat\\work\\Catalina",
                       "C:\\tomcat\\work\\Catalina\\localhost"};
    }
};

TEST_F(TomcatPageTest, ClearStopsTomcatThenDeletesCatalinaWhileTheFoldersAboveAreHeld) {
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_EQ(journal, (Journal{"stop service tomcat6", "snapshot", "hold C:\\tomcat", "hold C:\\tomcat\\work",
                                "delete C:\\tomcat\\work\\Catalina titled 正在删除文件夹", "release C:\\tomcat",
                                "release C:\\tomcat\\work"}));
    EXPECT_EQ(shell.paths, (std::set<std::string>{"C:\\tomcat", "C:\\tomcat\\work"}));
}

TEST_F(TomcatPageTest, ClearOfAMissingDirectoryIsDone) {
    shell.paths.erase("C:\\tomcat\\work\\Catalina\\localhost");
    shell.paths.erase("C:\\tomcat\\work\\Catalina");
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    shell.paths.clear();
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
}

TEST_F(TomcatPageTest, ClearSaysSoWhenTheDirectoryIsStillThere) {
    shell.deletionFails = true;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
}

TEST_F(TomcatPageTest, ClearDeletesNothingWhileTomcatIsStillUp) {
    const auto before = shell.paths;
    service.down = false;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
    table.processes.clear();
    service.down = true;
    table.Add(5, "tomcat6.exe", "C:\\tomcat\\bin\\tomcat6.exe");
    table.processes.back().openable = false;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(shell.paths, before);
}

TEST_F(TomcatPageTest, ClearTakesTheInstallationNamedAfterTheStop) {
    shell.paths.insert({"D:\\tomcat7", "D:\\tomcat7\\work", "D:\\tomcat7\\work\\Catalina"});
    service.duringStop = [&] { environment.variables["CATALINA_HOME"] = "D:\\tomcat7"; };
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_EQ(shell.paths.count("D:\\tomcat7\\work\\Catalina"), 0u);
    EXPECT_EQ(shell.paths.count("C:\\tomcat\\work\\Catalina"), 1u);
}

TEST_F(TomcatPageTest, ClearDeletesNothingWhenAFolderOnTheWayIsALink) {
    // work, made a link to D:\data by a user who may write below the installation.
    for (const char* link : {"C:\\tomcat", "C:\\tomcat\\work", "C:\\tomcat\\work\\Catalina"}) {
        SCOPED_TRACE(link);
        shell.calls.clear();
        shell.links = {link};
        EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
        for (const auto& call : shell.calls) EXPECT_EQ(call.rfind("delete", 0), std::string::npos) << call;
    }
}

TEST_F(TomcatPageTest, ClearRemovesLinksInsideTheTreeAsLinksBeforeTheDelete) {
    shell.links = {"C:\\tomcat\\work\\Catalina\\localhost\\shared"};
    shell.paths.insert("C:\\tomcat\\work\\Catalina\\localhost\\shared");
    EXPECT_EQ(ClearWorkDirectory(ports), "已删除临时文件!");
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"hold C:\\tomcat", "hold C:\\tomcat\\work",
                                                     "remove link C:\\tomcat\\work\\Catalina\\localhost\\shared",
                                                     "delete C:\\tomcat\\work\\Catalina titled 正在删除文件夹",
                                                     "release C:\\tomcat", "release C:\\tomcat\\work"}));
}

TEST_F(TomcatPageTest, ClearDeletesNothingWhenALinkInsideWillNotGoOrTheTreeCannotBeListed) {
    shell.links = {"C:\\tomcat\\work\\Catalina\\localhost\\shared"};
    shell.linkRemovalFails = true;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
    shell.links.clear();
    shell.listingFails = true;
    EXPECT_EQ(ClearWorkDirectory(ports), "删除临时文件失败!");
    for (const auto& call : shell.calls) EXPECT_EQ(call.rfind("delete", 0), std::string::npos) << call;
}

TEST_F(TomcatPageTest, ClearPassesAValueWithATrailingBackslashAsComposed) {
    environment.variables["CATALINA_HOME"] = "C:\\tomcat\\";
    shell.paths.insert({"C:\\tomcat\\", "C:\\tomcat\\\\work", "C:\\tomcat\\\\work\\Catalina"});
    ClearWorkDirectory(ports);
    EXPECT_EQ(shell.calls.at(2), "delete C:\\tomcat\\\\work\\Catalina titled 正在删除文件夹");
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

TEST_F(TomcatPageTest, ServiceStartSaysStartedOnlyForSuccess) {
    EXPECT_EQ(ServiceStartNotice("success"), "Tomcat服务已启动!");
    EXPECT_EQ(ServiceStartNotice("failed"), "Tomcat服务启动失败!");
    EXPECT_EQ(ServiceStartNotice("Success"), "Tomcat服务启动失败!");
    EXPECT_EQ(ServiceStartNotice(""), "Tomcat服务启动失败!");
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

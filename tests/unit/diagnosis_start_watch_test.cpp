// Watching a started service until Tomcat serves, the service ends, a log
// tells of a failure or the bound passes; and the rows of a start that failed.
#include "diagnosis/start_rows.h"
#include "diagnosis/start_watch.h"

#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace qm::diagnosis {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using test::FakeMachine;

// Time moves only when the watch sleeps; what the machine does at a moment
// is the test's script.
class ScriptedTime final : public Waiting, public Clock {
public:
    std::function<void(std::chrono::milliseconds)> script = [](std::chrono::milliseconds) {};
    std::chrono::milliseconds now = 1000ms;
    int pumps = 0;
    void Sleep(unsigned milliseconds) override {
        now += std::chrono::milliseconds(milliseconds);
        script(now);
    }
    void PumpPendingMessages() override { ++pumps; }
    std::chrono::milliseconds Now() override { return now; }
};

class StartWatch : public ::testing::Test {
protected:
    void SetUp() override {
        machine_.services.Installed("tomcat6").state = 4;
        machine_.services.Installed("tomcat6").processId = 40;
        plan_.service = "tomcat6";
        plan_.connectorPort = 8080;
        plan_.logs = LogPlaceOf(machine_.catalinaHome, {machine_.catalinaHome + "\\logs", ""}, "tomcat6");
        AddLog("catalina.2026-12-08.log", "08-Dec-2026 09:00:00.000 INFO [main] a.B.c Server startup in 812 ms\n");
    }
    StartWatchPorts Ports() { return {machine_.services, machine_.network, machine_.files, time_, time_}; }
    void AddLog(const std::string& name, std::string text) {
        const std::string path = logs_ + "\\" + name;
        if (!machine_.files.files.count(path)) machine_.files.listings[logs_].push_back({name, false, 1, 0});
        machine_.files.files[path] += text;
        for (DirectoryItem& item : machine_.files.listings[logs_])
            if (item.name == name) item.size = machine_.files.files[path].size();
    }
    StartEnd Watch() {
        const StartMark mark = MarkStart(plan_, Ports());
        time_.now += 1500ms;  // the start request's own wait
        return WatchStart(plan_, mark, Ports(), [&](const std::string& text) { said_ = text; });
    }

    FakeMachine machine_;
    std::string logs_ = machine_.catalinaHome + "\\logs";
    ScriptedTime time_;
    StartPlan plan_;
    std::string said_;
};

TEST_F(StartWatch, ServesWhenTheServicesProcessListensOnTheConnectorsPort) {
    time_.script = [&](auto now) {
        if (now >= 5000ms) machine_.network.listeners = {{8009, 40}, {8080, 40}};
    };
    EXPECT_EQ(Watch(), StartEnd::Serves);
    EXPECT_EQ(said_, "正在等待 Tomcat 在端口 8080 上监听… 3 秒");
    EXPECT_GT(time_.pumps, 0);
}

TEST_F(StartWatch, AnotherProcessOnThePortIsNotTomcatServingButAnUnnamedNewListenerIs) {
    time_.script = [&](auto now) {
        if (now >= 4000ms) machine_.network.listeners = {{8080, 77}};
        if (now >= 9000ms) machine_.network.listeners->push_back({8080, 0});
    };
    EXPECT_EQ(Watch(), StartEnd::Serves);
    EXPECT_GE(time_.now, 9000ms);
}

TEST_F(StartWatch, AServiceThatRunsThenStopsHasEnded) {
    time_.script = [&](auto now) {
        if (now >= 6000ms) machine_.services.Installed("tomcat6").state = 1;
    };
    EXPECT_EQ(Watch(), StartEnd::Ended);
}

TEST_F(StartWatch, ALogThatGainsAStartFailureFailsTheStartWhileTheServiceRuns) {
    // Yesterday's failure in the same file is no failure of this start.
    AddLog("catalina.2026-12-08.log", "SEVERE: Error initializing endpoint\njava.net.BindException: JVM_Bind <null>:8080\n");
    time_.script = [&](auto now) {
        if (now == 5000ms)
            AddLog("catalina.2026-12-08.log",
                   "08-Dec-2026 10:01:02.345 SEVERE [main] org.apache.catalina.core.StandardService.initInternal "
                   "Failed to initialize connector [Connector[\"http-nio-8080\"]]\n"
                   "\torg.apache.catalina.LifecycleException: Protocol handler initialization failed\n"
                   "Caused by: java.net.BindException: Address already in use: bind\n"
                   "\tat sun.nio.ch.Net.bind0(Native Method)\n");
    };
    EXPECT_EQ(Watch(), StartEnd::FailedInLog);
    EXPECT_EQ(time_.now, 5000ms);
}

TEST_F(StartWatch, ARunningServiceThatNeverListensStartedAtTheBound) {
    EXPECT_EQ(Watch(), StartEnd::Bound);
    EXPECT_GE(time_.now, 1000ms + kStartBound);
    EXPECT_LT(time_.now, 1000ms + kStartBound + 1s);
}

TEST_F(StartWatch, WithoutAConnectorRunningQuietlyForTenSecondsIsStarted) {
    plan_.connectorPort.reset();
    EXPECT_EQ(Watch(), StartEnd::Quiet);
    EXPECT_GE(time_.now, 1000ms + kQuietStart);
    EXPECT_LT(time_.now, 1000ms + kQuietStart + 1s);
    EXPECT_THAT(said_, HasSubstr("正在等待 Tomcat 启动…"));
}

TEST_F(StartWatch, APortHeldBeforeTheStartFailsItAsSoonAsTheServiceIsUp) {
    machine_.network.listeners = {{8080, 0}};
    EXPECT_EQ(Watch(), StartEnd::PortHeld);
    EXPECT_EQ(time_.pumps, 0);
}

class StartRows : public StartWatch {
protected:
    std::vector<Row> RowsAfter(StartEnd end) {
        StartAttempt attempt{plan_, MarkStart(plan_, Ports()), end};
        return StartAttemptRows(attempt, machine_.Inspectors());
    }
};

TEST_F(StartRows, AServiceThatStoppedWithItsOwnCodeAndALogLineSinceTheStart) {
    machine_.files.files[logs_ + "\\tomcat6-stderr.2026-12-08.log"] = "";
    machine_.files.listings[logs_].push_back({"tomcat6-stderr.2026-12-08.log", false, 2, 0});
    StartAttempt attempt{plan_, MarkStart(plan_, Ports()), StartEnd::Ended};
    ServiceDescription& service = machine_.services.Installed("tomcat6");
    service.state = 1;
    service.win32ExitCode = 1066;
    service.serviceExitCode = 1;
    AddLog("tomcat6-stderr.2026-12-08.log",
           "Exception in thread \"main\" java.lang.UnsupportedClassVersionError: org/apache/catalina/startup/"
           "Bootstrap : Unsupported major.minor version 52.0\n");
    const std::vector<Row> rows = StartAttemptRows(attempt, machine_.Inspectors());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].item, "本次启动 · 服务 tomcat6");
    EXPECT_EQ(rows[0].status, Status::Error);
    EXPECT_THAT(rows[0].explanation, HasSubstr("服务以它自己的退出代码 1 结束："));
    EXPECT_EQ(rows[1].item, "本次启动 · 日志 · tomcat6-stderr");
    EXPECT_EQ(rows[1].status, Status::Error);
    EXPECT_THAT(rows[1].explanation, HasSubstr("需要 Java 8 或更高版本"));
    EXPECT_THAT(rows[1].explanation, HasSubstr(logs_ + "\\tomcat6-stderr.2026-12-08.log 中有："));
}

TEST_F(StartRows, TheProgramHoldingThePortIsNamed) {
    machine_.processes.Add(77, "httpd.exe", "C:\\Apache\\bin\\httpd.exe");
    machine_.services.Install("Apache2.4", "C:\\Apache\\bin\\httpd.exe -k runservice", 4, 77);
    machine_.network.listeners = {{8080, 77}};
    const std::vector<Row> rows = RowsAfter(StartEnd::PortHeld);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].item, "本次启动 · 端口 8080");
    EXPECT_EQ(rows[1].status, Status::Error);
    EXPECT_THAT(rows[1].explanation, HasSubstr("httpd.exe（PID 77，C:\\Apache\\bin\\httpd.exe） 占用，它是服务 Apache2.4"));
}

TEST_F(StartRows, NothingThatExplainsItNamesTheRunnersLogDirectory) {
    machine_.services.Installed("tomcat6").state = 1;
    machine_.services.Installed("tomcat6").win32ExitCode = 1067;
    machine_.messages.texts[1067] = "进程意外终止。\r\n";
    const std::vector<Row> rows = RowsAfter(StartEnd::Ended);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].explanation, "启动后又停止了：退出代码 1067：进程意外终止。");
    EXPECT_EQ(rows[1].item, "本次启动 · 原因");
    EXPECT_EQ(rows[1].status, Status::Notice);
    EXPECT_THAT(rows[1].explanation, HasSubstr("服务程序的日志目录 " + logs_));
}

TEST_F(StartRows, AnInstallationWithoutAServiceOfItsOwnSaysThatNothingWasStarted) {
    plan_.service.clear();
    const std::vector<Row> rows = RowsAfter(StartEnd::Ended);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].item, "本次启动 · 服务");
    EXPECT_EQ(rows[0].status, Status::Error);
    EXPECT_THAT(rows[0].explanation, HasSubstr("service.bat install"));
}

}  // namespace
}  // namespace qm::diagnosis

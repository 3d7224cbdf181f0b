// The log families and the failure lines they explain.
#include "diagnosis/diagnose.h"
#include "diagnosis/log_events.h"

#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::diagnosis {
namespace {

using test::FakeMachine;
using test::OnlyRow;
using test::RowsOf;
using ::testing::HasSubstr;

TEST(LogFailures, KnownLinesAreExplained) {
    const struct {
        std::string_view line;
        std::string_view meaning;  // part of the explanation
    } cases[] = {
        {"[2026-12-08 09:12:01] [error] [ 2044] Failed creating java C:\\jre6\\bin\\client\\jvm.dll", "Jvm 路径"},
        {"[error] %1 is not a valid Win32 application.", "32 位或 64 位"},
        {"[error] %1 不是有效的 Win32 应用程序。", "32 位或 64 位"},
        {"[error] The specified module could not be found.", "jvm.dll 或它需要的库"},
        {"[error] 找不到指定的模块。", "jvm.dll 或它需要的库"},
        {"Error occurred during initialization of VM: Could not reserve enough space for object heap", "JvmMx"},
        {"Error: Could not create the Java Virtual Machine.", "JvmMx"},
        {"java.net.BindException: Address already in use: JVM_Bind <null>:8080", "端口 8080 已被占用"},
        {"2026-12-08 10:01:02 SEVERE: Failed to initialize end point: JVM_Bind", "Tomcat 要使用的一个端口已被占用"},
        {"-Djava.endorsed.dirs=C:\\tomcat\\endorsed is not supported. Endorsed standards and standalone APIs",
         "Java 9 及以上版本不支持 -Djava.endorsed.dirs"},
        {"java.lang.UnsupportedClassVersionError: app/Main has been compiled by a more recent version of the Java "
         "Runtime (class file version 61.0), this version of the Java Runtime only recognizes class file versions up "
         "to 52.0",
         "需要 Java 17 或更高版本"},
        {"java.lang.UnsupportedClassVersionError: app/Main : Unsupported major.minor version 52.0",
         "需要 Java 8 或更高版本"},
        {"Error: Could not find or load main class org.apache.catalina.startup.Bootstrap", "Classpath"},
        {"java.lang.ClassNotFoundException: org.apache.catalina.startup.Bootstrap", "Classpath"},
        {"Exception in thread \"main\" java.lang.OutOfMemoryError: Java heap space", "JvmMx"},
        {"java.lang.OutOfMemoryError: PermGen space", "MaxPermSize"},
        {"java.io.FileNotFoundException: C:\\tomcat\\logs\\catalina.log (Access is denied)", "登录账户缺少权限"},
        {"[error] 拒绝访问。", "登录账户缺少权限"},
    };
    // Each line is an event of its own, as the runner and stderr write them.
    const auto explained = [](std::string_view line) -> std::optional<std::string> {
        const std::vector<LogEvent> events = ReadLogEvents(line);
        if (events.size() != 1) return std::nullopt;
        const std::optional<ExplainedEvent> event = ExplainEvent(events.front(), {});
        if (!event) return std::nullopt;
        return event->explanation;
    };
    for (const auto& known : cases) {
        const std::optional<std::string> explanation = explained(known.line);
        ASSERT_TRUE(explanation.has_value()) << known.line;
        EXPECT_THAT(*explanation, HasSubstr(std::string(known.meaning))) << known.line;
    }
    for (std::string_view other : {"SEVERE: Error listenerStart", "java.endorsed.dirs=C:\\tomcat\\endorsed",
                                   "INFO: Server startup in 812 ms", ""})
        EXPECT_EQ(explained(other), std::nullopt) << other;
}

class LogFamilies : public ::testing::Test {
protected:
    void SetUp() override { logs_ = machine_.catalinaHome + "\\logs"; }
    void AddLog(const std::string& directory, const std::string& name, std::uint64_t time, std::string text) {
        machine_.files.listings[directory].push_back({name, false, time});
        machine_.files.files[directory + "\\" + name] = std::move(text);
    }
    FakeMachine machine_;
    std::string logs_;
};

TEST_F(LogFamilies, TheNewestFileOfEachFamilyIsReadNotOnlyTheNewestFile) {
    // 2026-12-08 09:12 and 09:40 UTC, which the fake shows as they are.
    AddLog(logs_, "commons-daemon.2026-12-07.log", 1796634000, "[error] Failed creating java C:\\old\\jvm.dll\n");
    AddLog(logs_, "commons-daemon.2026-12-08.log", 1796721120,
           "[info] Commons Daemon procrun started\n[error] Failed creating java C:\\jre6\\bin\\client\\jvm.dll\n");
    AddLog(logs_, "localhost_access_log.2026-12-08.txt", 1796722800, "127.0.0.1 - - \"GET / HTTP/1.1\" 500 -\n");
    const Row row = OnlyRow(machine_.Diagnose(), "日志 · commons-daemon");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("Jvm 路径"));
    EXPECT_THAT(row.explanation, HasSubstr(logs_ + "\\commons-daemon.2026-12-08.log（2026-12-08 09:12）"));
    EXPECT_THAT(row.explanation, HasSubstr("：[error] Failed creating java C:\\jre6\\bin\\client\\jvm.dll"));
}

TEST_F(LogFamilies, EachKnownFailureOfAFileIsShownOnceBeforeTheRestIsQuiet) {
    AddLog(logs_, "tomcat6-stderr.2026-12-08.log", 1,
           "SEVERE: Error initializing endpoint\n"
           "java.net.BindException: Address already in use: JVM_Bind <null>:8080\n"
           "java.lang.OutOfMemoryError: Java heap space\n"
           "java.net.BindException: Address already in use: JVM_Bind <null>:8080\n");
    AddLog(logs_, "catalina.2026-12-08.log", 2, "INFO: Server startup in 812 ms\n");
    const auto rows = RowsOf(machine_.Diagnose(), "日志 · tomcat6-stderr");
    ASSERT_EQ(rows.size(), 2u);
    // In the order of their last lines.
    EXPECT_THAT(rows[0].explanation, HasSubstr("JvmMx"));
    EXPECT_THAT(rows[1].explanation, HasSubstr("端口 8080 已被占用"));
    const Row quiet = OnlyRow(machine_.Diagnose(), "日志");
    EXPECT_EQ(quiet.status, Status::Ok);
    EXPECT_THAT(quiet.explanation, HasSubstr("catalina.2026-12-08.log"));
}

TEST_F(LogFamilies, TheServicesOwnLogDirectoryAndPrefixAreRead) {
    machine_.SetServiceSetting("Log", "Path", "D:\\service-logs");
    machine_.SetServiceSetting("Log", "Prefix", "runner");
    machine_.files.directories.insert("D:\\service-logs");
    AddLog("D:\\service-logs", "runner.2026-12-08.log", 1, "[error] 拒绝访问。\n");
    AddLog("D:\\service-logs", "commons-daemon.2026-12-08.log", 2,
           "[error] The specified module could not be found.\n");
    EXPECT_EQ(OnlyRow(machine_.Diagnose(), "日志").explanation, logs_ + " 中没有日志文件");
    const Row row = OnlyRow(machine_.Diagnose(), "日志 · runner");
    EXPECT_THAT(row.explanation, HasSubstr("登录账户缺少权限"));
    EXPECT_THAT(row.explanation, HasSubstr("D:\\service-logs\\runner.2026-12-08.log"));
}

TEST_F(LogFamilies, ARunnerLogDirectoryNotYetMadeIsNoFinding) {
    const std::string logKey = FakeMachine::ServiceSettingsKey("Log");
    machine_.registry.strings.erase({logKey, "Path", RegistryView::Wow32});
    machine_.environment.variables["SystemRoot"] = "C:\\Windows";
    AddLog("C:\\Windows\\System32\\LogFiles\\Apache", "commons-daemon.2026-12-08.log", 1, "[error] 拒绝访问。\n");
    EXPECT_EQ(RowsOf(machine_.Diagnose(), "日志 · commons-daemon").size(), 0u);
    // Made by the runner's first start, where it writes without a Log Path setting.
    machine_.files.directories.insert("C:\\Windows\\System32\\LogFiles\\Apache");
    EXPECT_THAT(OnlyRow(machine_.Diagnose(), "日志 · commons-daemon").explanation,
                HasSubstr("C:\\Windows\\System32\\LogFiles\\Apache\\commons-daemon.2026-12-08.log"));
}

}  // namespace
}  // namespace qm::diagnosis

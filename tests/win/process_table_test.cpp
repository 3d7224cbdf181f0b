// The toolhelp process table and the shutdown over it, with throw-away
// sleepers of our own copied to the names and places of Java and Tomcat
// programs inside a scratch directory of the test.
#include "platform/win32/process_table_win.h"
#include "platform/win32/wide_text.h"
#include "support/lib/processes.h"
#include "tomcat/process_shutdown.h"

#include <gtest/gtest.h>

#include "win/test_ports.h"
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>

namespace qm {
namespace {

using test::MapEnvironment;
using test::NoService;

using namespace std::chrono_literals;

std::wstring Folded(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

TEST(ToolhelpProcessTable, ListsOurOwnProcessUnderItsName) {
    win32::ToolhelpProcessTable table;
    EXPECT_EQ(table.OwnProcessId(), GetCurrentProcessId());
    const auto entries = table.Snapshot();
    const auto own = std::find_if(entries.begin(), entries.end(),
                                  [&](const ProcessEntry& e) { return e.id == GetCurrentProcessId(); });
    ASSERT_NE(own, entries.end());
    EXPECT_EQ(own->exeName, "win_tests.exe");
}

TEST(ToolhelpProcessTable, ReadsTheExecutablePathAndEndsTheProcessWithMinusOne) {
    test::ScratchDirectory scratch;
    const auto exe = scratch.Path() / L"JDK" / L"bin" / L"JAVAW.EXE";
    auto sleeper = test::StartSleeperAs(exe);
    ASSERT_TRUE(sleeper);

    win32::ToolhelpProcessTable table;
    const auto entries = table.Snapshot();
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [&](const ProcessEntry& e) { return e.id == sleeper.ProcessId(); });
    ASSERT_NE(entry, entries.end());
    EXPECT_EQ(entry->exeName, "JAVAW.EXE");

    auto opened = table.Open(sleeper.ProcessId());
    ASSERT_TRUE(opened);
    const auto path = opened->ImagePath();
    ASSERT_TRUE(path);
    EXPECT_EQ(Folded(win32::Widen(*path)), Folded(exe.wstring()));
    const auto imagePath = table.ImagePath(sleeper.ProcessId());
    ASSERT_TRUE(imagePath);
    EXPECT_EQ(Folded(win32::Widen(*imagePath)), Folded(exe.wstring()));
    EXPECT_FALSE(opened->WaitForExit(0ms));

    EXPECT_TRUE(table.Terminate(sleeper.ProcessId()));
    EXPECT_TRUE(opened->WaitForExit(5s));
    EXPECT_EQ(sleeper.WaitForExit(5s), std::optional<DWORD>(0xFFFFFFFF));
}

TEST(ToolhelpProcessTable, RefusesProcessesThatAreNotThere) {
    win32::ToolhelpProcessTable table;
    // Identifiers are multiples of four: this one never names a process.
    EXPECT_EQ(table.Open(0xFFFFFFF1u), nullptr);
    EXPECT_EQ(table.ImagePath(0xFFFFFFF1u), std::nullopt);
    EXPECT_FALSE(table.Terminate(0xFFFFFFF1u));
}

TEST(CloseTomcatProcess, EndsExactlyTheProcessesInsideTheInstallations) {
    test::ScratchDirectory scratch;
    const auto& root = scratch.Path();
    struct Case {
        std::filesystem::path exe;
        bool ended;
    };
    const std::vector<Case> cases = {
        {root / L"jdk" / L"bin" / L"javaw.exe", true},      {root / L"jdk" / L"jre" / L"bin" / L"JAVAW.EXE", true},
        {root / L"jdk2" / L"bin" / L"javaw.exe", false},    {root / L"jdk" / L"bin" / L"java.exe", false},
        {root / L"tomcat" / L"bin" / L"tomcat6.exe", true}, {root / L"tomcat2" / L"bin" / L"tomcat6.exe", false},
        {root / L"tomcat" / L"bin" / L"javaw.exe", false},  {root / L"tomcat" / L"bin" / L"javaw-tomcat.exe", true},
        {root / L"other" / L"tomcat6.exe", false},
    };
    std::vector<test::StartedProgram> sleepers;
    for (const auto& c : cases) {
        sleepers.push_back(test::StartSleeperAs(c.exe));
        ASSERT_TRUE(sleepers.back()) << c.exe;
    }

    MapEnvironment environment;
    // The value in another case than the disk, and with a trailing separator.
    environment.variables["JAVA_HOME"] = win32::Narrow(Folded(root.wstring())) + "\\JDK";
    environment.variables["CATALINA_HOME"] = scratch.Text(L"tomcat") + "\\";
    NoService service;
    win32::ToolhelpProcessTable table;
    test::ThreadWaiting waiting;
    EXPECT_TRUE(tomcat::CloseTomcatProcess(service, "tomcat6", table, environment, waiting));

    for (size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].ended) {
            EXPECT_EQ(sleepers[i].WaitForExit(5s), std::optional<DWORD>(0xFFFFFFFF)) << cases[i].exe;
        }
    }
    // The ended ones are gone, so a survivor would have been ended by now.
    for (size_t i = 0; i < cases.size(); ++i) {
        if (!cases[i].ended) {
            EXPECT_TRUE(sleepers[i].IsRunning()) << cases[i].exe;
        }
    }
}

TEST(CloseTomcatProcess, EndsNothingWithoutInstallations) {
    test::ScratchDirectory scratch;
    auto javaw = test::StartSleeperAs(scratch.Path() / L"jdk" / L"bin" / L"javaw.exe");
    auto tomcat = test::StartSleeperAs(scratch.Path() / L"tomcat" / L"bin" / L"tomcat6.exe");
    ASSERT_TRUE(javaw && tomcat);
    MapEnvironment environment;
    NoService service;
    win32::ToolhelpProcessTable table;
    test::ThreadWaiting waiting;
    EXPECT_TRUE(tomcat::CloseTomcatProcess(service, "tomcat6", table, environment, waiting));
    EXPECT_TRUE(javaw.IsRunning());
    EXPECT_TRUE(tomcat.IsRunning());
}

}  // namespace
}  // namespace qm

// The process inspector against a sleeper started as java.exe with a command
// line of the test's own, read back through the process's memory.
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/wide_text.h"
#include "support/lib/processes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

namespace qm {
namespace {

bool IsJava(std::string_view exeName) { return exeName == "java.exe"; }

const ProcessFacts* Find(const std::vector<ProcessFacts>& all, std::uint32_t id) {
    const auto found = std::find_if(all.begin(), all.end(), [&](const ProcessFacts& p) { return p.id == id; });
    return found == all.end() ? nullptr : &*found;
}

TEST(ProcessInspector, ReadsPathAndCommandLineOfTheWantedProcessesOnly) {
    test::ScratchDirectory scratch;
    const auto java = test::CopyProgram(L"qm_sleeper.exe", scratch.Path() / L"jdk" / L"bin" / L"java.exe");
    const std::wstring catalinaHome = (scratch.Path() / L"汤姆猫 6").wstring();
    test::ProgramOptions options;
    options.Argument(L"-Dcatalina.home=" + catalinaHome)
        .Argument(L"org.apache.catalina.startup.Bootstrap")
        .Argument(L"start");
    test::StartedProgram program = test::StartedProgram::Start(java.wstring(), options);
    ASSERT_TRUE(program);

    win32::Win32ProcessInspector inspector;
    const auto processes = inspector.Processes(IsJava);
    const ProcessFacts* started = Find(processes, program.ProcessId());
    ASSERT_NE(started, nullptr);
    EXPECT_EQ(started->exeName, "java.exe");
    EXPECT_EQ(started->imagePath, std::optional<std::string>(win32::Narrow(java.wstring())));
    EXPECT_EQ(started->commandLine, std::optional<std::string>(win32::Narrow(program.CommandLine())));

    const ProcessFacts* own = Find(processes, GetCurrentProcessId());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->exeName, "win_tests.exe");
    EXPECT_EQ(own->imagePath, std::nullopt);
    EXPECT_EQ(own->commandLine, std::nullopt);
}

}  // namespace
}  // namespace qm

#pragma once

#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qm::test {

// How to start a program: its arguments, the environment it gets (ours, with
// some variables set and some removed) and the show command it is handed.
struct ProgramOptions {
    std::vector<std::wstring> arguments;
    // Applied in order over our own environment; nullopt removes the variable.
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> environmentChanges;
    WORD showCommand = SW_SHOWNORMAL;
    std::wstring workingDirectory;  // empty: ours

    ProgramOptions& Argument(std::wstring argument);
    ProgramOptions& SetVariable(std::wstring name, std::wstring value);
    ProgramOptions& RemoveVariable(std::wstring name);
    ProgramOptions& ShowCommand(WORD command);
};

// A program we started, ended (TerminateProcess) when this object goes away
// while it still runs, so a failing test never leaves a window behind.
class StartedProgram {
public:
    static StartedProgram Start(const std::wstring& programPath, const ProgramOptions& options = {});

    StartedProgram() = default;  // none started yet
    StartedProgram(StartedProgram&&) noexcept = default;
    StartedProgram& operator=(StartedProgram&& other) noexcept;
    ~StartedProgram();

    explicit operator bool() const noexcept { return static_cast<bool>(process_); }
    DWORD StartError() const noexcept { return startError_; }  // GetLastError of CreateProcessW
    const std::wstring& CommandLine() const noexcept { return commandLine_; }

    DWORD ProcessId() const noexcept { return processId_; }
    HANDLE ProcessHandle() const noexcept { return process_.get(); }
    bool IsRunning() const;
    // The exit code once the program has ended within the bound; nullopt while it runs.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds bound) const;
    void Terminate(UINT exitCode = 1);

private:
    win32::UniqueKernelHandle process_;
    win32::UniqueKernelHandle thread_;
    DWORD processId_ = 0;
    DWORD startError_ = 0;
    std::wstring commandLine_;
};

// The path of a program beside the running test executable (all of the build's
// programs land in one directory).
std::wstring SiblingProgramPath(const std::wstring& fileName);

// One command-line argument quoted so that CommandLineToArgvW and the C runtime
// give it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

// Our environment with the changes applied, as a CreateProcessW block
// (NAME=value\0...\0\0, sorted by name ignoring case).
std::wstring BuildEnvironmentBlock(const std::vector<std::pair<std::wstring, std::optional<std::wstring>>>& changes);

}  // namespace qm::test

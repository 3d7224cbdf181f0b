#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <string_view>

#include "support/lib/started_program.h"

namespace qm::test {

// quillmate.exe started for one test, with its main window found. Ends the
// program when the test is done, however it ends.
class QuillmateSession {
public:
    static QuillmateSession Start(const ProgramOptions& options = {});

    QuillmateSession(QuillmateSession&&) noexcept = default;
    ~QuillmateSession();

    StartedProgram& Program() { return program_; }
    DWORD ProcessId() const { return program_.ProcessId(); }
    HWND MainWindow() const { return main_; }
    HWND OwnerWindow() const;

    // A control of the main window by its name in the window's control table.
    HWND Control(std::string_view name) const;

    // Closes the main window as the user would and waits for the exit code.
    std::optional<DWORD> Close(std::chrono::milliseconds bound = std::chrono::seconds(10));

private:
    QuillmateSession(StartedProgram program, HWND main) : program_(std::move(program)), main_(main) {}
    StartedProgram program_;
    HWND main_ = nullptr;
};

// The program's environment for a test: both installation variables as given
// (an empty text removes the variable).
ProgramOptions WithInstallations(const std::wstring& javaHome, const std::wstring& catalinaHome);

}  // namespace qm::test

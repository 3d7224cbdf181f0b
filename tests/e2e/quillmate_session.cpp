#include "e2e/quillmate_session.h"

#include <stdexcept>

#include "support/lib/wait.h"
#include "support/lib/window_query.h"
#include "ui/form_layout.h"

namespace qm::test {

QuillmateSession QuillmateSession::Start(const ProgramOptions& options) {
    StartedProgram program = StartedProgram::Start(SiblingProgramPath(L"quillmate.exe"), options);
    if (!program) throw std::runtime_error("quillmate.exe did not start");
    const HWND main = WaitForTopLevelWindow(program.ProcessId(), {L"TForm1", L"Quillmate"});
    // The window appears with its first page; the other pages' controls come
    // right after. A test starts once the last of them is there.
    const int lastId = ui::kFirstControlId + static_cast<int>(ui::MainWindowControls().size()) - 1;
    if (main) WaitUntil([&] { return FindChildById(main, lastId) != nullptr; });
    return QuillmateSession(std::move(program), main);
}

QuillmateSession::~QuillmateSession() {
    if (program_ && program_.IsRunning()) program_.Terminate();
}

HWND QuillmateSession::OwnerWindow() const { return main_ ? GetWindow(main_, GW_OWNER) : nullptr; }

HWND QuillmateSession::Control(std::string_view name) const {
    // The window numbers its controls in table order.
    const auto controls = ui::MainWindowControls();
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].name == name) return FindChildById(main_, ui::kFirstControlId + static_cast<int>(i));
    return nullptr;
}

std::optional<DWORD> QuillmateSession::Close(std::chrono::milliseconds bound) {
    PostMessageW(main_, WM_CLOSE, 0, 0);
    return program_.WaitForExit(bound);
}

ProgramOptions WithInstallations(const std::wstring& javaHome, const std::wstring& catalinaHome) {
    ProgramOptions options;
    if (javaHome.empty())
        options.RemoveVariable(L"JAVA_HOME");
    else
        options.SetVariable(L"JAVA_HOME", javaHome);
    if (catalinaHome.empty())
        options.RemoveVariable(L"CATALINA_HOME");
    else
        options.SetVariable(L"CATALINA_HOME", catalinaHome);
    return options;
}

}  // namespace qm::test

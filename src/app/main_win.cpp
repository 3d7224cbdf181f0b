#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "app/single_instance_guard_win.h"
#include "ui/form1_win.h"
#include "ui/shell_win.h"

namespace {

// The show command the process was started with (SW_SHOWDEFAULT when none was given).
int StartShowCommand(int fromWinMain) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : fromWinMain;
}

void Run(HINSTANCE instance, int showCommand) {
    const bool comReady = SUCCEEDED(CoInitialize(nullptr));
    if (!qm::app::AlreadyRunning(qm::ui::OwnerWindow())) {
        qm::ui::SetTitle(qm::ui::kApplicationTitle);
        std::unique_ptr<qm::ui::TForm1> form;
        qm::ui::RunHandler([&] { form = std::make_unique<qm::ui::TForm1>(instance, qm::ui::OwnerWindow()); });
        if (form) {
            qm::ui::SetMainWindow(form->Handle());
            form->Show(showCommand);
            qm::ui::RunMessageLoop();
            qm::ui::SetMainWindow(nullptr);
            form.reset();
        }
    }
    if (comReady) CoUninitialize();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    qm::app::OpenInstanceSlot();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    qm::ui::CreateOwnerWindow(instance);

    Run(instance, StartShowCommand(showCommand));

    qm::app::CloseInstanceSlot();
    qm::ui::DestroyOwnerWindow();
    return 0;
}

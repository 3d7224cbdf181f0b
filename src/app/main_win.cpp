#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "app/diagnosis_machine_win.h"
#include "app/single_instance_guard_win.h"
#include "platform/file_replacer.h"
#include "platform/win32/broadcast_win.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/file_system_win.h"
#include "platform/win32/folder_browser_win.h"
#include "platform/win32/instance_names_win.h"
#include "platform/win32/process_table_win.h"
#include "platform/win32/registry_win.h"
#include "platform/win32/repair_ports_win.h"
#include "platform/win32/service_manager_win.h"
#include "platform/win32/shell_win.h"
#include "platform/win32/system_inspection_win.h"
#include "tomcat/tomcat_service.h"
#include "ui/form1_win.h"
#include "ui/application_win.h"

namespace {

// The show command the process was started with (SW_SHOWDEFAULT when none was given).
int StartShowCommand(int fromWinMain) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : fromWinMain;
}

// Every adapter the window's handlers use, built once: each is a few calls of
// the system with no state of its own, so one serves every click.
struct Win32System {
    qm::win32::Win32ServiceManager services;
    qm::ui::GuiThreadWaiting waiting;
    qm::tomcat::ServiceControlStopper stopper{services, waiting};
    qm::win32::ToolhelpProcessTable processes;
    qm::win32::CurrentProcessEnvironment environment;
    qm::win32::DesktopShell shell;
    qm::win32::Win32FileInspector files;
    qm::win32::Win32ServiceInspector installedServices;
    qm::win32::MachineEnvironmentRegistry machineEnvironment;
    qm::win32::WindowBroadcast broadcast;
    qm::win32::ShellFolderBrowser folderBrowser{qm::ui::OwnerWindow()};
    qm::win32::RegistryInstanceNames instanceNames;
    qm::win32::WindowsFileSystem fileSystem;
    qm::WholeFileReplacer replacer{fileSystem};
    qm::win32::Win32RegistryWriter registryWriter;
    qm::win32::Win32NetworkInspector network;
    qm::win32::Win32ProcessEnder processEnder;
    qm::win32::LocalBackupStore backups;
    qm::win32::Win32RegistryReader registry;
    qm::SteadyClock clock;

    qm::ui::PagePorts Ports() {
        return {
            .browser = {.shell = shell},
            .tomcat = {.tomcat = {.service = stopper,
                                  .processes = processes,
                                  .environment = environment,
                                  .shell = shell,
                                  .waiting = waiting,
                                  .files = files,
                                  .installedServices = installedServices},
                       .services = services,
                       .network = network,
                       .registry = registry,
                       .clock = clock},
            .environment = {.environment = environment,
                            .folderBrowser = folderBrowser,
                            .machine = {.machine = machineEnvironment, .process = environment, .broadcast = broadcast},
                            .files = files,
                            .replacer = replacer},
            .sql = {.services = services, .waiting = waiting, .instanceNames = instanceNames},
            // The diagnosis's views are its own: each run opens a machine of its own.
            .diagnosis = [] { return std::make_unique<qm::app::DiagnosisMachine>(); },
            .repair = {.registry = registryWriter,
                       .network = network,
                       .files = files,
                       .replacer = replacer,
                       .processes = processEnder,
                       .backups = backups,
                       .waiting = waiting},
        };
    }
};

void Run(HINSTANCE instance, int showCommand) {
    const bool comReady = SUCCEEDED(CoInitialize(nullptr));
    if (!qm::app::AlreadyRunning(qm::ui::OwnerWindow())) {
        qm::ui::SetTitle(qm::ui::kApplicationTitle);
        Win32System system;
        std::unique_ptr<qm::ui::TForm1> form;
        qm::ui::RunHandler(
            [&] { form = std::make_unique<qm::ui::TForm1>(instance, qm::ui::OwnerWindow(), system.Ports()); });
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

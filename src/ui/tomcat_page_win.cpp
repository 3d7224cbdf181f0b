#include "ui/form1_win.h"

#include "ui/shell_win.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/process_table_win.h"
#include "platform/win32/service_manager_win.h"
#include "platform/win32/shell_win.h"
#include "platform/win32/system_inspection_win.h"
#include "services/service_control.h"
#include "tomcat/tomcat_page.h"
#include "tomcat/tomcat_service.h"

// Tomcat page: clear the work directory, start as a program, start as a
// service, stop. Each click works from the environment of that moment.

namespace qm::ui {
namespace {

// What the Tomcat buttons work with, for one click.
struct TomcatSystem {
    win32::Win32ServiceManager services;
    GuiThreadWaiting waiting;
    tomcat::ServiceControlStopper stopper{services, waiting};
    win32::ToolhelpProcessTable processes;
    win32::CurrentProcessEnvironment environment;
    win32::DesktopShell shell;
    win32::Win32FileInspector files;
    win32::Win32ServiceInspector installedServices;

    tomcat::TomcatPorts Ports() { return {stopper, processes, environment, shell, waiting, files, installedServices}; }
};

}  // namespace

void TForm1::cxButton7Click() {
    TomcatSystem system;
    ShowInformationBox(tomcat::ClearWorkDirectory(system.Ports()));
}

void TForm1::cxButton8Click() {
    TomcatSystem system;
    if (const auto notice =
            tomcat::StartTomcatProgram(system.environment, system.files, system.installedServices, system.shell))
        ShowInformationBox(*notice);
}

void TForm1::cxButton9Click() {
    TomcatSystem system;
    const std::string service = tomcat::CurrentInstallation(system.Ports()).service;
    const std::string result = services::RunService(system.services, system.waiting, service);
    ShowInformationBox(tomcat::ServiceStartNotice(result));
}

void TForm1::cxButton10Click() {
    TomcatSystem system;
    ShowInformationBox(tomcat::StopTomcat(system.Ports()));
}

}  // namespace qm::ui

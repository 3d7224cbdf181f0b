// The behaviour of the window's pages, one controller each. A controller
// reads its page's controls, calls the program's logic and applies the
// outcome back; the window only routes its controls' events here.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "diagnosis/pending_report.h"
#include "diagnosis/report.h"
#include "sqlserver/instance_page.h"
#include "tomcat/environment_settings.h"
#include "tomcat/startup_port.h"
#include "ui/window_ports.h"

namespace qm::ui {

// A control of the window by its name in the control table. Pages other than
// the first are built after the first show, so a controller looks its
// controls up when it acts rather than keeping them.
using ControlByName = std::function<HWND(std::string_view)>;

// Browser data page: each button asks the system's browser control panel to
// delete one kind of data, in a process of its own; nothing is reported.
class BrowserPageController {
public:
    explicit BrowserPageController(Shell& shell) : shell_(shell) {}
    void Clear(int kind);

private:
    Shell& shell_;
};

// Tomcat page: clear the work directory, start as a program, start as a
// service, stop. Each click works from the environment of that moment.
class TomcatPageController {
public:
    explicit TomcatPageController(const WindowPorts& ports) : ports_(ports) {}
    void ClearWorkDirectory();
    void StartProgram();
    void StartService();
    void Stop();

private:
    WindowPorts ports_;
};

// Runtime environment page: the installation directories of JAVA_HOME and
// CATALINA_HOME, and the port of server.xml's HTTP/1.1 connector.
class EnvironmentPageController {
public:
    // The port read at start is announced by posting portReadMessage to the
    // window, which then calls PortRead.
    EnvironmentPageController(const WindowPorts& ports, ControlByName control, std::function<HWND()> window,
                              UINT portReadMessage)
        : ports_(ports), control_(std::move(control)), window_(std::move(window)), portReadMessage_(portReadMessage) {}
    // Shows the two directories as the program starts, and starts reading
    // the connector's port.
    void Show();
    void PortRead();
    // A read still under way drops its port instead of announcing it.
    void Close();
    void ChangeJavaHome();
    void ChangeTomcatHome();
    void ChangePort();
    void writeXML(const std::string& path, const std::string& newPort);

private:
    void ChangeInstallationDirectory(const tomcat::DirectoryButton& button, std::string_view edit);

    WindowPorts ports_;
    ControlByName control_;
    std::function<HWND()> window_;
    UINT portReadMessage_;
    std::shared_ptr<tomcat::StartupPortRead> startupPort_;  // null once taken or given up
};

// SQL Server page: the instance list, and start and stop of the picked
// instance's service.
class SqlPageController {
public:
    SqlPageController(const WindowPorts& ports, ControlByName control) : ports_(ports), control_(std::move(control)) {}
    void getSQLServer();
    void Pick();
    void Start();
    void Stop();
    // The instance list's entry at the last handled pick; -1 before any.
    int PickedInstance() const { return pickedInstance_; }

private:
    void Run(sqlserver::PageOutcome (sqlserver::InstancePage::*action)(std::string_view));

    WindowPorts ports_;
    ControlByName control_;
    int pickedInstance_ = -1;
};

// Diagnosis page: every check run on the machine as it is, in the background,
// its rows shown in the report list under a summary, the selected one in full
// below, and copied to the clipboard as text.
class DiagnosisPageController {
public:
    // A run's end is announced by posting doneMessage to the window, which
    // then calls Done. scale turns design pixels into the window's.
    DiagnosisPageController(std::function<HWND()> window, UINT doneMessage, ControlByName control,
                            std::function<int(int)> scale)
        : window_(std::move(window)),
          doneMessage_(doneMessage),
          control_(std::move(control)),
          scale_(std::move(scale)) {}
    DiagnosisPageController(const DiagnosisPageController&) = delete;
    DiagnosisPageController& operator=(const DiagnosisPageController&) = delete;

    void PageShown();
    void Diagnose();
    void CopyReport();
    void Done();
    // A run still under way drops its report instead of announcing it.
    void Close();

    COLORREF SummaryColour() const;
    void LayOutReportColumns(HWND list);
    bool HandleReportNotification(LPARAM notification, LRESULT& result);

private:
    void ShowReport();
    void ShowDetails(int row);
    void SetText(std::string_view name, std::string_view text);
    void SetEnabled(std::string_view name, bool enabled);

    std::function<HWND()> window_;
    UINT doneMessage_;
    ControlByName control_;
    std::function<int(int)> scale_;
    std::vector<diagnosis::Row> report_;                       // what the diagnosis list shows
    std::shared_ptr<diagnosis::PendingReport> pendingReport_;  // of the run under way; null when none is
    bool diagnosed_ = false;
};

}  // namespace qm::ui

// The diagnosis page: every check run on the machine as it is, in the
// background, its rows shown in the report list under a summary, the
// selected one in full below, and copied to the clipboard as text; the
// selected row's fix made, or the last repair undone, once the user says yes.
// The one page that holds state between clicks: the report, the run under
// way and the last repair.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "diagnosis/diagnose.h"
#include "diagnosis/pending_report.h"
#include "diagnosis/report.h"
#include "diagnosis/start_watch.h"
#include "repair/repair.h"
#include "ui/controls_win.h"
#include "ui/report_list_win.h"

namespace qm::ui {

class DiagnosisPage {
public:
    struct Controls {
        HWND summary, list, details, diagnoseButton, copyButton, repairButton;
    };

    // A run's end is announced by posting doneMessage to the window, which
    // then calls Done. scale turns design pixels into the window's.
    DiagnosisPage(HWND window, UINT doneMessage, const Controls& controls, diagnosis::MachineOpener open,
                  const repair::RepairPorts& repairs, std::function<int(int)> scale);
    DiagnosisPage(const DiagnosisPage&) = delete;
    DiagnosisPage& operator=(const DiagnosisPage&) = delete;
    // A run still under way drops its report instead of announcing it.
    ~DiagnosisPage();

    void PageShown();
    void Diagnose();
    // A new run whose report begins with the rows of a start that failed;
    // a run under way gives way to it.
    void Diagnose(const diagnosis::StartAttempt& attempt);
    void CopyReport();
    void Repair();
    void Done();

private:
    void Start(std::optional<diagnosis::StartAttempt> attempt);
    void ShowReport();
    void ShowDetails(int row);

    HWND window_;
    UINT doneMessage_;
    Controls controls_;
    diagnosis::MachineOpener open_;
    repair::RepairPorts repairs_;
    repair::LastRepair lastRepair_;
    int selected_ = -1;
    ColouredLabel summary_;
    ReportList list_;
    std::vector<diagnosis::Row> report_;                       // what the list shows
    diagnosis::ReportTime made_;                               // when report_ was
    std::shared_ptr<diagnosis::PendingReport> pendingReport_;  // of the run under way; null when none is
    bool diagnosed_ = false;
};

}  // namespace qm::ui

#include "ui/diagnosis_page_win.h"

#include <array>
#include <optional>

#include "platform/detached_thread.h"
#include "ui/application_win.h"
#include "ui/form1_win.h"

namespace qm::ui {
namespace {

// Item and explanation grow to their longest text; the status fits any.
constexpr std::array<ReportList::Column, 3> kReportColumns{{
    {"项目", 96, true, false},
    {"状态", 44, false, true},
    {"说明", 210, true, false},
}};

// Runs the diagnosis on a thread of its own and leaves the outcome where the
// window takes it; the thread never touches the window itself.
void StartDiagnosis(std::shared_ptr<diagnosis::PendingReport> pending, diagnosis::MachineOpener open,
                    std::optional<diagnosis::StartAttempt> attempt) {
    StartDetached([pending, open = std::move(open), attempt = std::move(attempt)] {
        diagnosis::Outcome outcome;
        try {
            outcome.rows = attempt ? diagnosis::DiagnoseWithin(open, *attempt) : diagnosis::DiagnoseWithin(open);
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        pending->Deliver(std::move(outcome));
    });
}

// A status's colour: errors red, notices brown, the rest as the system draws text.
std::optional<COLORREF> StatusColour(diagnosis::Status status) {
    switch (status) {
    case diagnosis::Status::Error:
        return RGB(0xC0, 0x00, 0x00);
    case diagnosis::Status::Notice:
        return RGB(0x99, 0x55, 0x00);
    case diagnosis::Status::Ok:
        break;
    }
    return std::nullopt;
}

void SetEnabled(HWND control, bool enabled) { EnableWindow(control, enabled ? TRUE : FALSE); }

diagnosis::ReportTime Now() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace

DiagnosisPage::DiagnosisPage(HWND window, UINT doneMessage, const Controls& controls, diagnosis::MachineOpener open,
                             const repair::RepairPorts& repairs, std::function<int(int)> scale)
    : window_(window),
      doneMessage_(doneMessage),
      controls_(controls),
      open_(std::move(open)),
      repairs_(repairs),
      summary_(controls.summary),
      list_(controls.list, kReportColumns, std::move(scale), [this](int row) { ShowDetails(row); }) {}

DiagnosisPage::~DiagnosisPage() {
    if (pendingReport_) pendingReport_->Close();
}

void DiagnosisPage::CopyReport() { CopyToClipboard(window_, diagnosis::CopiedReport(report_, made_)); }

// The checks run the first time the page is shown; later only on request.
void DiagnosisPage::PageShown() {
    if (diagnosed_) return;
    diagnosed_ = true;
    RunHandler([this] { Diagnose(); });
}

// The checks run in the background while the window stays live; the page
// says so and takes no new request until the report is in.
void DiagnosisPage::Diagnose() {
    if (!pendingReport_) Start(std::nullopt);
}

void DiagnosisPage::Diagnose(const diagnosis::StartAttempt& attempt) {
    diagnosed_ = true;
    if (pendingReport_) pendingReport_->Close();
    pendingReport_.reset();
    Start(attempt);
}

void DiagnosisPage::Start(std::optional<diagnosis::StartAttempt> attempt) {
    const HWND focus = GetFocus();
    if (focus == controls_.diagnoseButton || focus == controls_.copyButton || focus == controls_.repairButton)
        SetFocus(controls_.list);
    SetEnabled(controls_.diagnoseButton, false);
    SetEnabled(controls_.copyButton, false);
    SetEnabled(controls_.repairButton, false);
    selected_ = -1;
    summary_.SetColour(std::nullopt);
    SetControlText(controls_.summary, diagnosis::kDiagnosingText);
    SetControlText(controls_.details, "");
    report_.clear();
    list_.Clear();
    const HWND window = window_;
    const UINT done = doneMessage_;
    pendingReport_ = std::make_shared<diagnosis::PendingReport>([window, done] { PostMessageW(window, done, 0, 0); });
    StartDiagnosis(pendingReport_, open_, std::move(attempt));
}

void DiagnosisPage::Done() {
    if (!pendingReport_) return;
    std::optional<diagnosis::Outcome> outcome = pendingReport_->Take();
    if (!outcome) return;
    pendingReport_.reset();
    SetEnabled(controls_.diagnoseButton, true);
    SetEnabled(controls_.copyButton, true);
    if (outcome->failure) {
        SetControlText(controls_.summary, "");
        std::rethrow_exception(outcome->failure);
    }
    report_ = lastRepair_.Before(std::move(outcome->rows));
    made_ = Now();
    ShowReport();
}

// Asked first; a repair made, or a situation changed since the report, asks
// for a new one.
void DiagnosisPage::Repair() {
    if (pendingReport_ || selected_ < 0 || static_cast<size_t>(selected_) >= report_.size()) return;
    const std::optional<diagnosis::Fix> fix = report_[static_cast<size_t>(selected_)].fix;
    if (!fix || !AskQuestion(repair::Question(*fix, repairs_.backups.Folder()))) return;
    const repair::Outcome outcome = repair::Apply(*fix, repairs_);
    lastRepair_.Record(outcome);
    if (outcome.result != repair::Result::Done) ShowInformationBox(outcome.message);
    if (outcome.result == repair::Result::Done || outcome.result == repair::Result::Changed) Diagnose();
}

// The rows, the summary above them in the colour of the worst the report
// found (red when it found an error, brown for notices alone), and the row a
// reader wants first selected and in view with its details below.
void DiagnosisPage::ShowReport() {
    std::vector<ReportList::Row> rows;
    rows.reserve(report_.size());
    for (const diagnosis::Row& row : report_)
        rows.push_back({{row.item, std::string(diagnosis::StatusText(row.status)), row.explanation},
                        StatusColour(row.status),
                        row.explanation});
    list_.Show(std::move(rows));
    const std::optional<size_t> first = diagnosis::RowToShowFirst(report_);
    const std::optional<diagnosis::Status> worst = diagnosis::WorstStatus(report_);
    summary_.SetColour(worst ? StatusColour(*worst) : std::nullopt);
    SetControlText(controls_.summary, diagnosis::SummaryLine(report_, made_));
    if (first) {
        const int row = static_cast<int>(*first);
        list_.Select(row);
        ShowDetails(row);
    }
    list_.Redraw();
}

// The row in full, and the button for its fix.
void DiagnosisPage::ShowDetails(int row) {
    const bool shown = row >= 0 && static_cast<size_t>(row) < report_.size();
    const diagnosis::Row* selected = shown ? &report_[static_cast<size_t>(row)] : nullptr;
    selected_ = shown ? row : -1;
    SetControlText(controls_.details, selected ? diagnosis::DetailsText(*selected) : "");
    SetControlText(controls_.repairButton, repair::ButtonCaption(selected));
    SetEnabled(controls_.repairButton, repair::ButtonEnabled(selected, pendingReport_ != nullptr));
}

// The page's controls are there from the first show on, and so is the page.
void TForm1::DiagnosisTabSheetShow() {
    if (diagnosis_) diagnosis_->PageShown();
}

void TForm1::DiagnoseButtonClick() {
    if (diagnosis_) diagnosis_->Diagnose();
}

void TForm1::CopyReportButtonClick() {
    if (diagnosis_) diagnosis_->CopyReport();
}

void TForm1::RepairButtonClick() {
    if (diagnosis_) diagnosis_->Repair();
}

}  // namespace qm::ui

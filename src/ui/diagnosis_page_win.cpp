#include "ui/page_controllers_win.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <stdexcept>

#include "diagnosis/diagnose.h"
#include "diagnosis/pending_report.h"
#include "platform/detached_thread.h"
#include "platform/retry.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/instance_names_win.h"
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "ui/controls_win.h"
#include "ui/shell_win.h"

namespace qm::ui {
namespace {

struct ReportColumn {
    std::string_view heading;
    int width;  // at 96 dpi; the explanation's grows to its longest text
};
constexpr std::array<ReportColumn, 3> kReportColumns{{{"项目", 96}, {"状态", 44}, {"说明", 210}}};
// Item and explanation grow to their longest text; the status fits any.
constexpr std::array<int, 2> kGrowingColumns{0, 2};

// The clipboard is tried this often, this many milliseconds apart, before
// the copy says that another program holds it.
constexpr int kClipboardTries = 20;
constexpr unsigned kClipboardPause = 25;

// The machine as the checks see it, through read-only views.
class DiagnosisSystem final : public diagnosis::Machine {
public:
    diagnosis::Inspectors View() override {
        return {environment_, registry_, files_, services_, network_, processes_, rights_, instances_, messages_};
    }

private:
    win32::CurrentProcessEnvironment environment_;
    win32::Win32RegistryReader registry_;
    win32::Win32FileInspector files_;
    win32::Win32ServiceInspector services_;
    win32::Win32NetworkInspector network_;
    win32::Win32ProcessInspector processes_;
    win32::Win32RightsInspector rights_;
    win32::RegistryInstanceNames instances_;
    win32::Win32SystemMessages messages_;
};

// Runs the diagnosis on a thread of its own and leaves the outcome where the
// window takes it; the thread never touches the window itself.
void StartDiagnosis(std::shared_ptr<diagnosis::PendingReport> pending) {
    StartDetached([pending] {
        diagnosis::Outcome outcome;
        try {
            outcome.rows = diagnosis::DiagnoseWithin([] { return std::make_unique<DiagnosisSystem>(); });
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        pending->Deliver(std::move(outcome));
    });
}

void FreeGlobalMemory(HGLOBAL memory) noexcept { GlobalFree(memory); }
using UniqueGlobalMemory = win32::UniqueHandle<win32::NullIsInvalid<HGLOBAL, FreeGlobalMemory>>;

// The clipboard, open while the object lives.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_;
};

// Puts text on the clipboard as Unicode text, the form every program pastes.
// Another program may hold the clipboard for a moment (a clipboard viewer
// reading what was just put there): the copy waits that moment out.
void CopyToClipboard(HWND owner, std::string_view text) {
    const std::wstring wide = win32::Widen(text);
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t)));
    void* target = memory ? GlobalLock(memory.get()) : nullptr;
    if (!target) throw std::runtime_error("无法复制结果: 内存不足");
    std::copy_n(wide.c_str(), wide.size() + 1, static_cast<wchar_t*>(target));
    GlobalUnlock(memory.get());
    std::optional<OpenedClipboard> clipboard;
    GuiThreadWaiting waiting;
    const bool opened =
        TryRepeatedly([&] { return bool(clipboard.emplace(owner)); }, kClipboardTries, kClipboardPause, waiting);
    if (!opened) throw std::runtime_error("无法复制结果: 剪贴板正被其他程序使用");
    EmptyClipboard();
    // Once set, the clipboard owns the memory.
    if (SetClipboardData(CF_UNICODETEXT, memory.get())) memory.release();
}

// The status's colour in the list: errors red, notices brown, the rest as the
// system draws text.
COLORREF StatusColour(diagnosis::Status status) {
    switch (status) {
    case diagnosis::Status::Error:
        return RGB(0xC0, 0x00, 0x00);
    case diagnosis::Status::Notice:
        return RGB(0x99, 0x55, 0x00);
    case diagnosis::Status::Ok:
        break;
    }
    return GetSysColor(COLOR_WINDOWTEXT);
}

}  // namespace

void DiagnosisPageController::CopyReport() { CopyToClipboard(window_(), diagnosis::ReportText(report_)); }

// The checks run the first time the page is shown; later only on request.
void DiagnosisPageController::PageShown() {
    if (diagnosed_) return;
    diagnosed_ = true;
    RunHandler([this] { Diagnose(); });
}

void DiagnosisPageController::Close() {
    if (pendingReport_) pendingReport_->Close();
}

void DiagnosisPageController::SetText(std::string_view name, std::string_view text) {
    SetControlText(control_(name), text);
}

void DiagnosisPageController::SetEnabled(std::string_view name, bool enabled) {
    EnableWindow(control_(name), enabled ? TRUE : FALSE);
}

// The checks run in the background while the window stays live; the page
// says so and takes no new request until the report is in.
void DiagnosisPageController::Diagnose() {
    if (pendingReport_) return;
    const HWND focus = GetFocus();
    if (focus == control_("DiagnoseButton") || focus == control_("CopyReportButton"))
        SetFocus(control_("DiagnosisList"));
    SetEnabled("DiagnoseButton", false);
    SetEnabled("CopyReportButton", false);
    SetText("DiagnosisSummary", diagnosis::kDiagnosingText);
    SetText("DiagnosisDetails", "");
    report_.clear();
    ClearListView(control_("DiagnosisList"));
    const HWND window = window_();
    const UINT done = doneMessage_;
    pendingReport_ = std::make_shared<diagnosis::PendingReport>([window, done] { PostMessageW(window, done, 0, 0); });
    StartDiagnosis(pendingReport_);
}

void DiagnosisPageController::Done() {
    if (!pendingReport_) return;
    std::optional<diagnosis::Outcome> outcome = pendingReport_->Take();
    if (!outcome) return;
    pendingReport_.reset();
    SetEnabled("DiagnoseButton", true);
    SetEnabled("CopyReportButton", true);
    if (outcome->failure) {
        SetText("DiagnosisSummary", "");
        std::rethrow_exception(outcome->failure);
    }
    report_ = std::move(outcome->rows);
    ShowReport();
}

// The rows, the summary above them, and the row a reader wants first
// selected and in view with its details below.
void DiagnosisPageController::ShowReport() {
    const HWND list = control_("DiagnosisList");
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ClearListView(list);
    for (size_t i = 0; i < report_.size(); ++i) {
        const int row = static_cast<int>(i);
        SetListViewCell(list, row, 0, report_[i].item);
        SetListViewCell(list, row, 1, diagnosis::StatusText(report_[i].status));
        SetListViewCell(list, row, 2, report_[i].explanation);
    }
    LayOutReportColumns(list);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SetText("DiagnosisSummary", diagnosis::SummaryText(report_));
    if (const std::optional<size_t> first = diagnosis::RowToShowFirst(report_)) {
        const int row = static_cast<int>(*first);
        SelectListViewRow(list, row);
        ShowDetails(row);
    }
    InvalidateRect(list, nullptr, TRUE);
}

void DiagnosisPageController::ShowDetails(int row) {
    const bool shown = row >= 0 && static_cast<size_t>(row) < report_.size();
    SetText("DiagnosisDetails", shown ? diagnosis::DetailsText(report_[static_cast<size_t>(row)]) : "");
}

// The summary in the colour of what the report shows first: red when it
// found an error, brown for notices alone.
COLORREF DiagnosisPageController::SummaryColour() const {
    const std::optional<size_t> first = diagnosis::RowToShowFirst(report_);
    return first ? StatusColour(report_[*first].status) : GetSysColor(COLOR_WINDOWTEXT);
}

// The headings once, and widths for the window's dpi: item and explanation are
// as wide as their longest text, so a long one scrolls sideways instead of being cut.
void DiagnosisPageController::LayOutReportColumns(HWND list) {
    const bool first = Header_GetItemCount(ListView_GetHeader(list)) == 0;
    for (size_t i = 0; i < kReportColumns.size(); ++i) {
        const int index = static_cast<int>(i);
        if (first) AddListViewColumn(list, index, kReportColumns[i].heading, scale_(kReportColumns[i].width));
        ListView_SetColumnWidth(list, index, scale_(kReportColumns[i].width));
    }
    if (ListView_GetItemCount(list) == 0) return;
    for (const int column : kGrowingColumns) {
        ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE);
        const int designed = scale_(kReportColumns[static_cast<size_t>(column)].width);
        if (ListView_GetColumnWidth(list, column) < designed) ListView_SetColumnWidth(list, column, designed);
    }
}

// The list's notifications: each status drawn in its colour, and the whole
// explanation as the row's tip, since a long one is cut at the list's edge.
bool DiagnosisPageController::HandleReportNotification(LPARAM notification, LRESULT& result) {
    const auto* header = reinterpret_cast<const NMHDR*>(notification);
    if (header->code == NM_CUSTOMDRAW) {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(notification);
        const DWORD stage = draw->nmcd.dwDrawStage;
        const size_t row = draw->nmcd.dwItemSpec;
        if (stage == CDDS_PREPAINT)
            result = CDRF_NOTIFYITEMDRAW;
        else if (stage == CDDS_ITEMPREPAINT)
            result = CDRF_NOTIFYSUBITEMDRAW;
        else if (stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM) && row < report_.size()) {
            draw->clrText = draw->iSubItem == 1 ? StatusColour(report_[row].status) : GetSysColor(COLOR_WINDOWTEXT);
            result = CDRF_DODEFAULT;
        } else
            result = CDRF_DODEFAULT;
        return true;
    }
    if (header->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(notification);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
            !(change->uOldState & LVIS_SELECTED))
            ShowDetails(change->iItem);
        result = 0;
        return true;
    }
    if (header->code == LVN_GETINFOTIPW) {
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(notification);
        const auto row = static_cast<size_t>(tip->iItem);
        if (row < report_.size() && tip->cchTextMax > 0) {
            const std::wstring text = win32::Widen(report_[row].explanation);
            const size_t length = std::min(text.size(), static_cast<size_t>(tip->cchTextMax - 1));
            text.copy(tip->pszText, length);
            tip->pszText[length] = L'\0';
        }
        result = 0;
        return true;
    }
    return false;
}

}  // namespace qm::ui

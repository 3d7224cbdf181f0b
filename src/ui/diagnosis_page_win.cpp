#include "ui/form1_win.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <stdexcept>

#include "app/application_win.h"
#include "diagnosis/diagnose.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/instance_names_win.h"

// Diagnosis page: every check run on the machine as it is, its rows shown in
// the report list and copied to the clipboard as text.

namespace qm::ui {
namespace {

struct ReportColumn {
    std::string_view heading;
    int width;  // at 96 dpi; the explanation's grows to its longest text
};
constexpr std::array<ReportColumn, 3> kReportColumns{{{"项目", 96}, {"状态", 44}, {"说明", 210}}};
// Item and explanation grow to their longest text; the status fits any.
constexpr std::array<int, 2> kGrowingColumns{0, 2};

// The machine as the checks see it, through read-only views.
struct DiagnosisSystem {
    win32::CurrentProcessEnvironment environment;
    win32::Win32RegistryReader registry;
    win32::Win32FileInspector files;
    win32::Win32ServiceInspector services;
    win32::Win32NetworkInspector network;
    win32::Win32ProcessInspector processes;
    win32::Win32RightsInspector rights;
    win32::RegistryInstanceNames instances;

    diagnosis::Inspectors Inspectors() {
        return {environment, registry, files, services, network, processes, rights, instances};
    }
};

// The hourglass while the checks run; the message loop is not reached
// meanwhile, so nothing sets the arrow back before we do.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

void SetCell(HWND list, int row, int column, std::string_view text) {
    std::wstring wide = win32::Widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = wide.data();
    if (column == 0)
        ListView_InsertItem(list, &item);
    else
        ListView_SetItem(list, &item);
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
void CopyToClipboard(HWND owner, std::string_view text) {
    const std::wstring wide = win32::Widen(text);
    UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t)));
    void* target = memory ? GlobalLock(memory.get()) : nullptr;
    if (!target) throw std::runtime_error("无法复制结果: 内存不足");
    std::copy_n(wide.c_str(), wide.size() + 1, static_cast<wchar_t*>(target));
    GlobalUnlock(memory.get());
    const OpenedClipboard clipboard(owner);
    if (!clipboard) throw std::runtime_error("无法复制结果: 剪贴板正被其他程序使用");
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

void TForm1::DiagnoseButtonClick() { RunDiagnosis(); }

void TForm1::CopyReportButtonClick() { CopyToClipboard(hwnd_, diagnosis::ReportText(report_)); }

// The checks run the first time the page is shown; later only on request.
void TForm1::DiagnosisPageShown() {
    if (diagnosed_) return;
    diagnosed_ = true;
    UpdateWindow(Control("DiagnosisTabSheet"));
    app::RunHandler([this] { RunDiagnosis(); });
}

void TForm1::RunDiagnosis() {
    const WaitCursor waiting;
    DiagnosisSystem system;
    report_ = diagnosis::Diagnose(system.Inspectors());
    const HWND list = Control("DiagnosisList");
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    for (size_t i = 0; i < report_.size(); ++i) {
        const int row = static_cast<int>(i);
        SetCell(list, row, 0, report_[i].item);
        SetCell(list, row, 1, diagnosis::StatusText(report_[i].status));
        SetCell(list, row, 2, report_[i].explanation);
    }
    LayOutReportColumns(list);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// The headings once, and widths for the window's dpi: item and explanation are
// as wide as their longest text, so a long one scrolls sideways instead of being cut.
void TForm1::LayOutReportColumns(HWND list) {
    const bool first = Header_GetItemCount(ListView_GetHeader(list)) == 0;
    for (size_t i = 0; i < kReportColumns.size(); ++i) {
        const int index = static_cast<int>(i);
        if (first) {
            std::wstring heading = win32::Widen(kReportColumns[i].heading);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            column.pszText = heading.data();
            column.cx = Scale(kReportColumns[i].width);
            column.iSubItem = index;
            ListView_InsertColumn(list, index, &column);
        }
        ListView_SetColumnWidth(list, index, Scale(kReportColumns[i].width));
    }
    if (ListView_GetItemCount(list) == 0) return;
    for (const int column : kGrowingColumns) {
        ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE);
        const int designed = Scale(kReportColumns[static_cast<size_t>(column)].width);
        if (ListView_GetColumnWidth(list, column) < designed) ListView_SetColumnWidth(list, column, designed);
    }
}

// The list's notifications: each status drawn in its colour, and the whole
// explanation as the row's tip, since a long one is cut at the list's edge.
bool TForm1::HandleReportNotification(LPARAM notification, LRESULT& result) {
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

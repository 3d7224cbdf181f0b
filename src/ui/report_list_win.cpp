#include "ui/report_list_win.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/wide_text.h"

namespace qm::ui {

ReportList::ReportList(HWND list, std::span<const Column> columns, std::function<int(int)> scale,
                       std::function<void(int)> selected)
    : ControlWrapper(list), columns_(columns), scale_(std::move(scale)), selected_(std::move(selected)) {
    for (size_t i = 0; i < columns_.size(); ++i)
        AddListViewColumn(list, static_cast<int>(i), columns_[i].heading, scale_(columns_[i].width));
    LayOutColumns();
}

void ReportList::Show(std::vector<Row> rows) {
    const HWND list = Handle();
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    Clear();
    rows_ = std::move(rows);
    for (size_t i = 0; i < rows_.size(); ++i)
        for (size_t column = 0; column < rows_[i].cells.size(); ++column)
            SetListViewCell(list, static_cast<int>(i), static_cast<int>(column), rows_[i].cells[column]);
    LayOutColumns();
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

void ReportList::Clear() {
    rows_.clear();
    ClearListView(Handle());
}

void ReportList::Select(int row) { SelectListViewRow(Handle(), row); }

void ReportList::Redraw() { InvalidateRect(Handle(), nullptr, TRUE); }

void ReportList::ApplyDpi() { LayOutColumns(); }

// Widths for the window's dpi: a growing column is as wide as its longest
// text, and never narrower than designed.
void ReportList::LayOutColumns() {
    const HWND list = Handle();
    for (size_t i = 0; i < columns_.size(); ++i) ListView_SetColumnWidth(list, static_cast<int>(i), scale_(columns_[i].width));
    if (ListView_GetItemCount(list) == 0) return;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (!columns_[i].grows) continue;
        const int column = static_cast<int>(i);
        ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE);
        const int designed = scale_(columns_[i].width);
        if (ListView_GetColumnWidth(list, column) < designed) ListView_SetColumnWidth(list, column, designed);
    }
}

// Each coloured cell drawn in its row's colour, and the row's tip, since a
// long text is cut at the list's edge.
bool ReportList::Notify(LPARAM notification, LRESULT& result) {
    const auto* header = reinterpret_cast<const NMHDR*>(notification);
    if (header->code == NM_CUSTOMDRAW) {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(notification);
        const DWORD stage = draw->nmcd.dwDrawStage;
        const size_t row = draw->nmcd.dwItemSpec;
        const auto column = static_cast<size_t>(draw->iSubItem);
        if (stage == CDDS_PREPAINT)
            result = CDRF_NOTIFYITEMDRAW;
        else if (stage == CDDS_ITEMPREPAINT)
            result = CDRF_NOTIFYSUBITEMDRAW;
        else if (stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM) && row < rows_.size()) {
            const bool coloured = column < columns_.size() && columns_[column].coloured && rows_[row].colour;
            draw->clrText = coloured ? *rows_[row].colour : GetSysColor(COLOR_WINDOWTEXT);
            result = CDRF_DODEFAULT;
        } else
            result = CDRF_DODEFAULT;
        return true;
    }
    if (header->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(notification);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
            !(change->uOldState & LVIS_SELECTED))
            selected_(change->iItem);
        result = 0;
        return true;
    }
    if (header->code == LVN_GETINFOTIPW) {
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(notification);
        const auto row = static_cast<size_t>(tip->iItem);
        if (row < rows_.size() && tip->cchTextMax > 0) {
            const std::wstring text = win32::Widen(rows_[row].tip);
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

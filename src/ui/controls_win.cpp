#include "ui/controls_win.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "platform/retry.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "ui/application_win.h"

namespace qm::ui {
namespace {

constexpr wchar_t kWrapperProperty[] = L"QuillmateControlWrapper";

// The clipboard is tried this often, this many milliseconds apart, before
// the copy says that another program holds it.
constexpr int kClipboardTries = 20;
constexpr unsigned kClipboardPause = 25;

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

}  // namespace

std::string ControlText(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return win32::Narrow(text);
}

void SetControlText(HWND control, std::string_view text) { SetWindowTextW(control, win32::Widen(text).c_str()); }

void FillComboBox(HWND combo, const std::vector<std::string>& items) {
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Widen(item).c_str()));
}

int ComboBoxPick(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void SetComboBoxPick(HWND combo, int index) { SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void AddListViewColumn(HWND list, int index, std::string_view heading, int width) {
    std::wstring wide = win32::Widen(heading);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = wide.data();
    column.cx = width;
    column.iSubItem = index;
    ListView_InsertColumn(list, index, &column);
}

void SetListViewCell(HWND list, int row, int column, std::string_view text) {
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

void ClearListView(HWND list) { ListView_DeleteAllItems(list); }

void SelectListViewRow(HWND list, int row) {
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, row, FALSE);
}

void CopyToClipboard(HWND owner, std::string_view text) {
    const std::wstring wide = win32::Widen(text);
    win32::UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t)));
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

ControlWrapper::ControlWrapper(HWND control) : control_(control) { SetPropW(control_, kWrapperProperty, this); }

ControlWrapper::~ControlWrapper() { RemovePropW(control_, kWrapperProperty); }

bool ControlWrapper::Notify(LPARAM, LRESULT&) { return false; }

std::optional<COLORREF> ControlWrapper::TextColour() const { return std::nullopt; }

void ControlWrapper::ApplyDpi() {}

ControlWrapper* WrapperOf(HWND control) {
    return control ? static_cast<ControlWrapper*>(GetPropW(control, kWrapperProperty)) : nullptr;
}

}  // namespace qm::ui

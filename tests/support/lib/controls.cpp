#include "support/lib/controls.h"

#include "support/lib/remote_buffer.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

#include <commctrl.h>

namespace qm::test {
namespace {

constexpr int kTabCaptionCapacity = 256;

}  // namespace

bool PostClick(HWND button) {
    if (!IsWindowEnabled(button) || !IsWindowVisible(button)) return false;
    return PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

bool ClickButton(HWND parent, const std::wstring& caption) {
    HWND button = FindChildWindow(parent, {L"Button", caption});
    return button && PostClick(button);
}

bool MouseClick(HWND window) {
    RECT rect{};
    if (!GetWindowRect(window, &rect)) return false;
    // Absolute positions are in 65536ths of the primary screen.
    const auto normalised = [](LONG pixel, int screen) {
        return static_cast<LONG>((pixel * 65536LL + 32768) / screen);
    };
    INPUT inputs[3]{};
    for (INPUT& input : inputs) input.type = INPUT_MOUSE;
    inputs[0].mi.dx = normalised((rect.left + rect.right) / 2, GetSystemMetrics(SM_CXSCREEN));
    inputs[0].mi.dy = normalised((rect.top + rect.bottom) / 2, GetSystemMetrics(SM_CYSCREEN));
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(3, inputs, sizeof(INPUT)) == 3;
}

int TabCount(HWND tab) { return static_cast<int>(SendWithTimeout(tab, TCM_GETITEMCOUNT).value_or(0)); }

std::vector<std::wstring> TabCaptions(HWND tab) {
    std::vector<std::wstring> captions;
    const int count = TabCount(tab);
    // One remote block: the TCITEMW, then the caption buffer it points to.
    const size_t textOffset = sizeof(TCITEMW);
    auto remote = RemoteBuffer::ForWindow(tab, textOffset + kTabCaptionCapacity * sizeof(wchar_t));
    if (!remote) return captions;
    for (int index = 0; index < count; ++index) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = static_cast<wchar_t*>(remote->AddressAt(textOffset));
        item.cchTextMax = kTabCaptionCapacity;
        const wchar_t empty = L'\0';
        if (!remote->WriteValue(item) || !remote->WriteValue(empty, textOffset)) break;
        if (!SendWithTimeout(tab, TCM_GETITEMW, static_cast<WPARAM>(index), remote->AsLParam()).value_or(FALSE)) break;
        wchar_t text[kTabCaptionCapacity] = {};
        if (!remote->Read(text, sizeof(text), textOffset)) break;
        text[kTabCaptionCapacity - 1] = L'\0';
        captions.emplace_back(text);
    }
    return captions;
}

int CurrentTab(HWND tab) { return static_cast<int>(SendWithTimeout(tab, TCM_GETCURSEL).value_or(-1)); }

std::optional<RECT> TabItemRect(HWND tab, int index) {
    auto remote = RemoteBuffer::ForWindow(tab, sizeof(RECT));
    if (!remote) return std::nullopt;
    if (!SendWithTimeout(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), remote->AsLParam()).value_or(FALSE))
        return std::nullopt;
    RECT rect{};
    if (!remote->ReadValue(rect)) return std::nullopt;
    return rect;
}

bool SelectTab(HWND tab, int index, std::chrono::milliseconds bound) {
    if (CurrentTab(tab) == index) return true;
    const auto rect = TabItemRect(tab, index);
    if (!rect) return false;
    const LPARAM centre = MAKELPARAM((rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2);
    if (!PostMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, centre) || !PostMessageW(tab, WM_LBUTTONUP, 0, centre))
        return false;
    return WaitUntil([&] { return CurrentTab(tab) == index; }, bound);
}

int ComboCount(HWND combo) { return static_cast<int>(SendWithTimeout(combo, CB_GETCOUNT).value_or(CB_ERR)); }

std::vector<std::wstring> ComboItems(HWND combo) {
    // CB_GETLBTEXT is marshalled by the system for a combo box that keeps its strings.
    std::vector<std::wstring> items;
    const int count = ComboCount(combo);
    for (int index = 0; index < count; ++index) {
        const LRESULT length = SendWithTimeout(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index)).value_or(CB_ERR);
        if (length == CB_ERR) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied =
            SendWithTimeout(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()))
                .value_or(CB_ERR);
        if (copied == CB_ERR) break;
        text.resize(static_cast<size_t>(copied));
        items.push_back(std::move(text));
    }
    return items;
}

int ComboSelection(HWND combo) { return static_cast<int>(SendWithTimeout(combo, CB_GETCURSEL).value_or(CB_ERR)); }

bool SelectComboItem(HWND combo, int index) {
    if (SendWithTimeout(combo, CB_SETCURSEL, static_cast<WPARAM>(index)).value_or(CB_ERR) != index) return false;
    HWND parent = GetParent(combo);
    const WPARAM command = MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE);
    return parent && PostMessageW(parent, WM_COMMAND, command, reinterpret_cast<LPARAM>(combo));
}

int ReportRowCount(HWND list) { return static_cast<int>(SendWithTimeout(list, LVM_GETITEMCOUNT).value_or(0)); }

std::vector<std::vector<std::wstring>> ReportRows(HWND list, int columns) {
    std::vector<std::vector<std::wstring>> rows;
    constexpr int kCellCapacity = 1024;
    // One remote block: the LVITEMW, then the text buffer it points to.
    const size_t textOffset = sizeof(LVITEMW);
    auto remote = RemoteBuffer::ForWindow(list, textOffset + kCellCapacity * sizeof(wchar_t));
    if (!remote) return rows;
    const int count = ReportRowCount(list);
    for (int index = 0; index < count; ++index) {
        std::vector<std::wstring> row;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = static_cast<wchar_t*>(remote->AddressAt(textOffset));
            item.cchTextMax = kCellCapacity;
            if (!remote->WriteValue(item)) return rows;
            const auto length = SendWithTimeout(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), remote->AsLParam());
            if (!length) return rows;
            std::wstring text(static_cast<size_t>(*length), L'\0');
            if (!remote->Read(text.data(), text.size() * sizeof(wchar_t), textOffset)) return rows;
            row.push_back(std::move(text));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool SetEditText(HWND edit, const std::wstring& text) {
    return SendWithTimeout(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())).value_or(FALSE) != FALSE;
}

}  // namespace qm::test

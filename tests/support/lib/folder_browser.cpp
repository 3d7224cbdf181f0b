#include "support/lib/folder_browser.h"

#include "support/lib/controls.h"
#include "support/lib/remote_buffer.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cwctype>

namespace qm::test {
namespace {

// The instruction static of the browser's dialog template, on Windows and Wine alike.
constexpr int kInstructionId = 0x3742;
constexpr size_t kItemTextCapacity = 260;

HWND FolderTree(HWND browser) { return FindChildWindow(browser, {L"SysTreeView32", std::nullopt}); }

std::wstring LastPathComponent(const std::wstring& path) {
    std::wstring trimmed = path;
    while (trimmed.size() > 1 && (trimmed.back() == L'\\' || trimmed.back() == L'/')) trimmed.pop_back();
    return trimmed.substr(trimmed.find_last_of(L"\\/") + 1);
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
}

// A drive root shows as a display name such as "(C:)" or "Local Disk (C:)", a
// folder by its name; either way the last component of the path is in it.
bool TreeShows(const std::wstring& shown, const std::wstring& path) {
    const std::wstring wanted = LastPathComponent(path);
    if (SameIgnoringCase(shown, wanted)) return true;
    if (wanted.size() == 2 && wanted[1] == L':') {
        std::wstring upper = shown;
        for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
        return upper.find(L'(' + std::wstring(1, static_cast<wchar_t>(std::towupper(wanted[0]))) + L":)") !=
               std::wstring::npos;
    }
    return false;
}

bool SetSelection(HWND browser, const std::wstring& path) {
    const size_t bytes = (path.size() + 1) * sizeof(wchar_t);
    auto remote = RemoteBuffer::ForWindow(browser, bytes);
    if (!remote || !remote->Write(path.c_str(), bytes)) return false;
    // Sent, not posted: the remote copy of the path must live until it is handled.
    return SendWithTimeout(browser, BFFM_SETSELECTIONW, TRUE, remote->AsLParam()).has_value();
}

}  // namespace

bool IsFolderBrowser(HWND window) {
    return ClassNameOf(window) == L"#32770" && GetDlgItem(window, IDOK) && GetDlgItem(window, IDCANCEL) &&
           FolderTree(window);
}

HWND FindFolderBrowser(DWORD processId) {
    for (HWND window : TopLevelWindows(processId))
        if (IsWindowVisible(window) && IsFolderBrowser(window)) return window;
    return nullptr;
}

HWND WaitForFolderBrowser(DWORD processId, std::chrono::milliseconds bound) {
    HWND browser = nullptr;
    // A selection sent before the tree has its first items can be lost, so the
    // browser counts as ready only once the tree is filled.
    WaitUntil(
        [&] {
            browser = FindFolderBrowser(processId);
            return browser && SendWithTimeout(FolderTree(browser), TVM_GETCOUNT, 0, 0).value_or(0) > 0;
        },
        bound);
    return browser;
}

std::wstring FolderBrowserInstruction(HWND browser) {
    HWND instruction = GetDlgItem(browser, kInstructionId);
    return instruction ? ReadWindowText(instruction) : std::wstring();
}

std::wstring FolderBrowserSelection(HWND browser) {
    HWND tree = FolderTree(browser);
    if (!tree) return {};
    const LRESULT selected = SendWithTimeout(tree, TVM_GETNEXTITEM, TVGN_CARET, 0).value_or(0);
    if (!selected) return {};
    const size_t textOffset = sizeof(TVITEMW);
    auto remote = RemoteBuffer::ForWindow(tree, textOffset + kItemTextCapacity * sizeof(wchar_t));
    if (!remote) return {};
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = reinterpret_cast<HTREEITEM>(selected);
    item.pszText = static_cast<wchar_t*>(remote->AddressAt(textOffset));
    item.cchTextMax = static_cast<int>(kItemTextCapacity);
    const wchar_t empty = L'\0';
    if (!remote->WriteValue(item) || !remote->WriteValue(empty, textOffset)) return {};
    if (!SendWithTimeout(tree, TVM_GETITEMW, 0, remote->AsLParam()).value_or(FALSE)) return {};
    wchar_t text[kItemTextCapacity] = {};
    if (!remote->Read(text, sizeof(text), textOffset)) return {};
    text[kItemTextCapacity - 1] = L'\0';
    return text;
}

bool ChooseFolder(HWND browser, const std::wstring& path, std::chrono::milliseconds bound) {
    // The tree followed when its selection shows the folder's name, or at
    // least moved: some folders show a display name of their own ("文档").
    const std::wstring before = FolderBrowserSelection(browser);
    const auto followed = [&] {
        const std::wstring shown = FolderBrowserSelection(browser);
        return TreeShows(shown, path) || (!shown.empty() && shown != before);
    };
    bool selected = false;
    for (int attempt = 0; attempt < 2 && !selected; ++attempt)
        selected = SetSelection(browser, path) && WaitUntil(followed, std::chrono::seconds(2));
    if (!selected) return false;
    HWND ok = GetDlgItem(browser, IDOK);
    return ok && PostClick(ok) && WaitForWindowGone(browser, bound);
}

bool CancelFolderBrowser(HWND browser, std::chrono::milliseconds bound) {
    HWND cancel = GetDlgItem(browser, IDCANCEL);
    return cancel && PostClick(cancel) && WaitForWindowGone(browser, bound);
}

}  // namespace qm::test

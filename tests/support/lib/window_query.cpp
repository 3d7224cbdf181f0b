#include "support/lib/window_query.h"

#include "support/lib/wait.h"

#include <algorithm>

namespace qm::test {
namespace {

struct TopLevelSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevelWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<TopLevelSearch*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search.processId) search.found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChildWindow(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

}  // namespace

std::optional<LRESULT> SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             static_cast<UINT>(kSendTimeout.count()), &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring ReadWindowText(HWND window) {
    const auto length = SendWithTimeout(window, WM_GETTEXTLENGTH);
    if (!length || *length < 0) return {};
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied = SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (!copied || *copied < 0) return {};
    text.resize(std::min(static_cast<size_t>(*copied), text.size() - 1));
    return text;
}

DWORD ProcessIdOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

bool Matches(HWND window, const WindowMatch& match) {
    if (match.className && ClassNameOf(window) != *match.className) return false;
    if (match.caption && ReadWindowText(window) != *match.caption) return false;
    return true;
}

WindowInfo DescribeWindow(HWND window) {
    WindowInfo info;
    info.handle = window;
    info.parent = GetParent(window);
    info.className = ClassNameOf(window);
    info.text = ReadWindowText(window);
    info.controlId = GetDlgCtrlID(window);
    GetWindowRect(window, &info.screenRect);
    info.rectInParent = info.screenRect;
    if (info.parent) MapWindowPoints(HWND_DESKTOP, info.parent, reinterpret_cast<POINT*>(&info.rectInParent), 2);
    RECT client{};
    GetClientRect(window, &client);
    info.clientSize = {client.right - client.left, client.bottom - client.top};
    info.style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    info.exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    info.enabled = IsWindowEnabled(window) != FALSE;
    info.visible = IsWindowVisible(window) != FALSE;
    return info;
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
    TopLevelSearch search{processId, {}};
    EnumWindows(CollectTopLevelWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTopLevelWindow(DWORD processId, const WindowMatch& match) {
    for (HWND window : TopLevelWindows(processId))
        if (Matches(window, match)) return window;
    return nullptr;
}

HWND WaitForTopLevelWindow(DWORD processId, const WindowMatch& match, std::chrono::milliseconds bound) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId))
                if (IsWindowVisible(window) && Matches(window, match)) {
                    found = window;
                    return true;
                }
            return false;
        },
        bound);
    return found;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChildWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::vector<WindowInfo> DescribeChildWindows(HWND parent) {
    std::vector<WindowInfo> described;
    for (HWND child : ChildWindows(parent)) described.push_back(DescribeWindow(child));
    return described;
}

HWND FindChildWindow(HWND parent, const WindowMatch& match) {
    for (HWND child : ChildWindows(parent))
        if (Matches(child, match)) return child;
    return nullptr;
}

HWND FindChildById(HWND parent, int controlId) {
    for (HWND child : ChildWindows(parent))
        if (GetDlgCtrlID(child) == controlId) return child;
    return nullptr;
}

bool WaitForWindowGone(HWND window, std::chrono::milliseconds bound) {
    return WaitUntil([&] { return !IsWindow(window); }, bound);
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

}  // namespace qm::test

#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

// How long one cross-process send may take before we call the target hung.
inline constexpr std::chrono::milliseconds kSendTimeout{5000};

// SendMessageTimeoutW with that timeout; nullopt when the target did not answer.
std::optional<LRESULT> SendWithTimeout(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// What a window is matched on; an empty field matches anything.
struct WindowMatch {
    std::optional<std::wstring> className;
    std::optional<std::wstring> caption;
};

// Everything a test asks about one window, read once.
struct WindowInfo {
    HWND handle = nullptr;
    HWND parent = nullptr;  // GetParent: the parent of a child, the owner of a popup
    std::wstring className;
    std::wstring text;  // read with WM_GETTEXT, so an edit's current text
    int controlId = 0;
    RECT screenRect{};    // GetWindowRect
    RECT rectInParent{};  // screenRect in the parent's client coordinates
    SIZE clientSize{};
    DWORD style = 0;
    DWORD exStyle = 0;
    bool enabled = false;
    bool visible = false;
};

std::wstring ClassNameOf(HWND window);
// The current text through WM_GETTEXT with a timeout: GetWindowTextW reads only
// what the system keeps for another process's window, not an edit's contents.
std::wstring ReadWindowText(HWND window);
DWORD ProcessIdOf(HWND window);
bool Matches(HWND window, const WindowMatch& match);
WindowInfo DescribeWindow(HWND window);

// Top-level windows of one process, in z-order, hidden ones included.
std::vector<HWND> TopLevelWindows(DWORD processId);
HWND FindTopLevelWindow(DWORD processId, const WindowMatch& match);
// Waits within the bound for a visible matching top-level window of the process.
HWND WaitForTopLevelWindow(DWORD processId, const WindowMatch& match,
                           std::chrono::milliseconds bound = std::chrono::seconds(10));

// All descendants of parent (EnumChildWindows walks the whole tree), in creation order.
std::vector<HWND> ChildWindows(HWND parent);
std::vector<WindowInfo> DescribeChildWindows(HWND parent);
HWND FindChildWindow(HWND parent, const WindowMatch& match);
HWND FindChildById(HWND parent, int controlId);  // anywhere below parent, unlike GetDlgItem

// The window that has the keyboard focus in the thread of window (of any
// process), or null.
HWND FocusOf(HWND window);

// Waits within the bound until the window is gone (destroyed).
bool WaitForWindowGone(HWND window, std::chrono::milliseconds bound = std::chrono::seconds(10));

}  // namespace qm::test

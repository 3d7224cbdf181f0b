#include "ui/application_win.h"

#include <exception>
#include <new>

#include "platform/win32/modal_scope_win.h"
#include "platform/win32/wide_text.h"
#include "ui/error_text.h"

namespace qm::ui {
namespace {

constexpr wchar_t kOwnerClass[] = L"QuillmateOwner";

HWND g_owner = nullptr;
HWND g_main = nullptr;
HWND g_focusBeforeMinimise = nullptr;
bool g_quitRecorded = false;

// Restoring the application as a whole: a minimised main window comes back
// with the focus where it was; otherwise nothing happens.
void RestoreApplication() {
    if (!g_main || !IsIconic(g_main)) return;
    ShowWindow(g_main, SW_RESTORE);
    if (g_focusBeforeMinimise && IsWindow(g_focusBeforeMinimise)) SetFocus(g_focusBeforeMinimise);
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE) {
        RestoreApplication();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::function<bool(const MSG&)> g_filter;

void Dispatch(MSG& msg) {
    if (g_filter && g_filter(msg)) return;
    if (g_main && IsDialogMessageW(g_main, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// The plain message dialog's one button reads "OK" whatever the system's
// language: the box is renamed as it is activated, from a hook on this
// thread that lives only for that one box.
HHOOK g_okButtonHook = nullptr;

LRESULT CALLBACK NameOkButton(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = g_okButtonHook;
    if (code == HCBT_ACTIVATE) {
        SetDlgItemTextW(reinterpret_cast<HWND>(wParam), IDOK, L"OK");
        UnhookWindowsHookEx(hook);
        g_okButtonHook = nullptr;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

// The box is owned by the owner window, which a second start brings forward
// with its last active popup; the main window is held off by the scope.
int ShowBox(std::string_view text, std::string_view caption, UINT flags) {
    const win32::ModalScope modal;
    return MessageBoxW(g_owner, win32::Widen(text).c_str(), win32::Widen(caption).c_str(), flags);
}

}  // namespace

bool CreateOwnerWindow(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, L"MAINICON");
    wc.lpszClassName = kOwnerClass;
    RegisterClassExW(&wc);
    // Never seen itself: zero size and never shown.
    g_owner = CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    return g_owner != nullptr;
}

void DestroyOwnerWindow() {
    if (g_owner) DestroyWindow(g_owner);
    g_owner = nullptr;
}

HWND OwnerWindow() { return g_owner; }

void SetTitle(std::string_view title) { SetWindowTextW(g_owner, win32::Widen(title).c_str()); }

void SetMainWindow(HWND mainWindow) { g_main = mainWindow; }

void RememberFocus(HWND focus) {
    if (focus) g_focusBeforeMinimise = focus;
}

void SetMessageFilter(std::function<bool(const MSG&)> filter) { g_filter = std::move(filter); }

void RunMessageLoop() {
    MSG msg;
    while (!g_quitRecorded) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            g_quitRecorded = true;
            break;
        }
        Dispatch(msg);
    }
}

void PumpPendingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            g_quitRecorded = true;
            continue;
        }
        Dispatch(msg);
    }
}

bool QuitRecorded() { return g_quitRecorded; }

void ShowErrorBox(std::string_view message) {
    ShowBox(ErrorBoxText(std::string(message)), kApplicationTitle, MB_OK | MB_ICONSTOP);
}

void ShowInformationBox(std::string_view text) { ShowBox(text, kInformationCaption, MB_OK | MB_ICONINFORMATION); }

bool AskQuestion(std::string_view text) {
    return ShowBox(text, kInformationCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ShowPlainMessage(std::string_view text) {
    g_okButtonHook = SetWindowsHookExW(WH_CBT, NameOkButton, nullptr, GetCurrentThreadId());
    ShowBox(text, kApplicationTitle, MB_OK);
    if (g_okButtonHook) UnhookWindowsHookEx(g_okButtonHook);
    g_okButtonHook = nullptr;
}

void ReportEscapedError() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        ShowBox(ErrorBoxText("内存不足"), kApplicationTitle, MB_OK | MB_ICONSTOP);
    } catch (const std::exception& e) {
        try {
            ShowErrorBox(e.what());
        } catch (...) {
        }
    } catch (...) {
        ShowBox(ErrorBoxText("未知错误"), kApplicationTitle, MB_OK | MB_ICONSTOP);
    }
}

void GuiThreadWaiting::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

void GuiThreadWaiting::PumpPendingMessages() { ui::PumpPendingMessages(); }

}  // namespace qm::ui

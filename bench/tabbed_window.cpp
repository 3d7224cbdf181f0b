// The second yardstick for start-up timings: the least any program showing
// Quillmate's window must do. It loads the common controls (version 6, by its
// manifest, as Quillmate does) and shows a tab control with six tabs and four
// buttons in a top-level window, then runs a message loop. What Quillmate
// takes beyond this is its own.
#include <windows.h>
#include <commctrl.h>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const wchar_t* const kTabs[] = {L"Apache Tomcat", L"IE浏览器", L"运行环境", L"SQL Server", L"诊断", L"关于"};
const wchar_t* const kButtons[] = {L"按钮一", L"按钮二", L"按钮三", L"按钮四"};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"TabbedWindow";
    RegisterClassExW(&wc);
    const HWND hwnd = CreateWindowExW(0, L"TabbedWindow", L"Tabbed", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                      377, 363, nullptr, nullptr, instance, nullptr);
    const HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 4, 4, 353, 316,
                                      hwnd, nullptr, instance, nullptr);
    for (int i = 0; i < 6; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(kTabs[i]);
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    for (int i = 0; i < 4; ++i)
        CreateWindowExW(0, WC_BUTTONW, kButtons[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 24, 40 + i * 48,
                        120, 32, hwnd, nullptr, instance, nullptr);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

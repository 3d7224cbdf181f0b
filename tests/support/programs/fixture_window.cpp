// A small window for the window-driving helpers to be tested against: two tab
// pages with buttons that open message boxes (information, error, a yes/no
// question), a disabled button, an edit, a drop-down list that writes its
// choice into a label, and a button that opens the shell's folder browser.
//
//   qm_fixture_window.exe [--show-java-home] [--exit-code=N]
//     --show-java-home  the edit shows JAVA_HOME (or "<unset>")
//     --exit-code=N     exit at once with code N, showing nothing
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kWindowClass[] = L"QmFixtureWindow";
constexpr wchar_t kPageClass[] = L"QmFixturePage";
constexpr wchar_t kCaption[] = L"驱动测试";

enum ControlId : int {
    kTabId = 100,
    kFirstPageId = 201,
    kSecondPageId = 202,
    kDoneButtonId = 1001,
    kDisabledButtonId = 1002,
    kEditId = 1003,
    kErrorButtonId = 1004,
    kQuestionButtonId = 1005,
    kCityComboId = 1101,
    kCityLabelId = 1102,
    kBrowseButtonId = 1103,
};

struct Fixture {
    HWND window = nullptr;
    HWND tab = nullptr;
    HWND pages[2] = {};
    HWND edit = nullptr;
    HWND combo = nullptr;
    HWND cityLabel = nullptr;
    bool showJavaHome = false;
};

Fixture g_fixture;

HWND AddControl(HWND parent, const wchar_t* kind, const wchar_t* text, DWORD style, int x, int y, int width, int height,
                int id) {
    HWND control = CreateWindowExW(
        kind == std::wstring(L"Edit") ? WS_EX_CLIENTEDGE : 0, kind, text, WS_CHILD | WS_VISIBLE | style, x, y, width,
        height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return control;
}

std::wstring JavaHomeText() {
    const DWORD size = GetEnvironmentVariableW(L"JAVA_HOME", nullptr, 0);
    if (size == 0) return L"<unset>";
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(L"JAVA_HOME", value.data(), size));
    return value;
}

void ShowPage(int index) {
    for (int page = 0; page < 2; ++page) ShowWindow(g_fixture.pages[page], page == index ? SW_SHOW : SW_HIDE);
}

void OnDone() { MessageBoxW(g_fixture.window, L"已完成!", L"提示", MB_ICONINFORMATION); }

// Never reachable by a click while the button is disabled; the tests prove it.
void OnDisabled() { MessageBoxW(g_fixture.window, L"不应出现", L"禁用", MB_OK); }

void OnError() { MessageBoxW(g_fixture.window, L"出错了", L"错误", MB_ICONERROR); }

void OnQuestion() {
    const int answer = MessageBoxW(g_fixture.window, L"继续吗?", L"询问", MB_YESNO | MB_ICONQUESTION);
    SetWindowTextW(g_fixture.edit, answer == IDYES ? L"yes" : answer == IDNO ? L"no" : L"?");
}

void OnCityChosen() {
    const LRESULT index = SendMessageW(g_fixture.combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return;
    std::wstring text(static_cast<size_t>(SendMessageW(g_fixture.combo, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(SendMessageW(g_fixture.combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
    SetWindowTextW(g_fixture.cityLabel, text.c_str());
}

void OnBrowse() {
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW browse{};
    browse.hwndOwner = g_fixture.window;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = L"请选择目录";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) {
        SetWindowTextW(g_fixture.edit, L"<cancelled>");
        return;
    }
    wchar_t path[MAX_PATH] = {};
    SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    SetWindowTextW(g_fixture.edit, path);
}

void OnCommand(int id, int code) {
    if (code == BN_CLICKED) {
        if (id == kDoneButtonId) OnDone();
        if (id == kDisabledButtonId) OnDisabled();
        if (id == kErrorButtonId) OnError();
        if (id == kQuestionButtonId) OnQuestion();
    }
    if (id == kBrowseButtonId && code == BN_CLICKED) OnBrowse();

    if (id == kCityComboId && code == CBN_SELCHANGE) OnCityChosen();
}

// The pages only carry controls; their commands belong to the main window.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) return SendMessageW(g_fixture.window, message, wParam, lParam);
    return DefWindowProcW(page, message, wParam, lParam);
}

void CreateControls(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    g_fixture.tab = AddControl(window, WC_TABCONTROLW, L"", WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0,
                               client.right, client.bottom, kTabId);
    const wchar_t* captions[2] = {L"常规", L"城市"};
    for (int index = 0; index < 2; ++index) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(captions[index]);
        SendMessageW(g_fixture.tab, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
    }
    RECT pageArea = client;
    SendMessageW(g_fixture.tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pageArea));
    for (int index = 0; index < 2; ++index)
        g_fixture.pages[index] = CreateWindowExW(
            WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD, pageArea.left, pageArea.top, pageArea.right - pageArea.left,
            pageArea.bottom - pageArea.top, g_fixture.tab,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstPageId + index)), GetModuleHandleW(nullptr), nullptr);

    HWND first = g_fixture.pages[0];
    AddControl(first, L"Button", L"完成", WS_TABSTOP | BS_PUSHBUTTON, 16, 16, 90, 26, kDoneButtonId);
    HWND disabled =
        AddControl(first, L"Button", L"禁用", WS_TABSTOP | BS_PUSHBUTTON, 120, 16, 90, 26, kDisabledButtonId);
    EnableWindow(disabled, FALSE);
    g_fixture.edit = AddControl(first, L"Edit", g_fixture.showJavaHome ? JavaHomeText().c_str() : L"",
                                WS_TABSTOP | ES_AUTOHSCROLL, 16, 56, 300, 22, kEditId);
    AddControl(first, L"Button", L"出错", WS_TABSTOP | BS_PUSHBUTTON, 16, 96, 90, 26, kErrorButtonId);
    AddControl(first, L"Button", L"询问", WS_TABSTOP | BS_PUSHBUTTON, 120, 96, 90, 26, kQuestionButtonId);

    HWND second = g_fixture.pages[1];
    g_fixture.combo = AddControl(second, L"ComboBox", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 16, 16, 150, 200,
                                 kCityComboId);
    for (const wchar_t* city : {L"北京", L"上海", L"广州", L"深圳"})
        SendMessageW(g_fixture.combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(city));
    g_fixture.cityLabel = AddControl(second, L"Static", L"未选择", SS_LEFT, 180, 20, 120, 20, kCityLabelId);
    AddControl(second, L"Button", L"浏览...", WS_TABSTOP | BS_PUSHBUTTON, 16, 56, 90, 26, kBrowseButtonId);
    ShowPage(0);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        g_fixture.window = window;
        CreateControls(window);
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == g_fixture.tab && header->code == TCN_SELCHANGE)
            ShowPage(static_cast<int>(SendMessageW(g_fixture.tab, TCM_GETCURSEL, 0, 0)));
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass)) return false;
    windowClass.lpfnWndProc = PageProc;
    windowClass.lpszClassName = kPageClass;
    return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    int argumentCount = 0;
    if (wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &argumentCount)) {
        for (int index = 1; index < argumentCount; ++index) {
            const std::wstring argument = arguments[index];
            if (argument == L"--show-java-home") g_fixture.showJavaHome = true;
            if (argument.rfind(L"--exit-code=", 0) == 0) {
                const int code = static_cast<int>(std::wcstol(argument.c_str() + 12, nullptr, 10));
                LocalFree(arguments);
                return code;
            }
        }
        LocalFree(arguments);
    }

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The folder browser needs a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!RegisterClasses(instance)) return 1;

    RECT frame{0, 0, 360, 200};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExW(0, kWindowClass, kCaption, style, 40, 40, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return static_cast<int>(message.wParam);
}

#include "ui/form1_win.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <span>
#include <stdexcept>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "ui/controls_win.h"
#include "ui/dpi_win.h"
#include "ui/application_win.h"

namespace qm::ui {
namespace {

constexpr wchar_t kFormClass[] = L"TForm1";
constexpr wchar_t kPageClass[] = L"TTabSheet";
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr UINT_PTR kContainerSubclassId = 1;
constexpr int kPictureSize = 32;
constexpr int kDropDownVisibleItems = 8;
constexpr UINT kFinishPagesMessage = WM_APP + 1;
// The status lines are read this often while their page shows.
constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusPeriodMs = 2000;
// Tabs with a short caption are this wide, not the control's default minimum:
// with it, the six tabs needed scroll arrows.
constexpr int kMinTabWidth = 40;

// Each row's handler, in the table's order.
#define QM_CONTROL_HANDLER(name, kind, parent, caption, left, top, width, height, font, tabOrder, enabled, handler) \
    handler,
constexpr void (TForm1::*kHandlers[])() = {QM_MAIN_WINDOW_CONTROLS(QM_CONTROL_HANDLER)};
#undef QM_CONTROL_HANDLER

// A button or a drop-down list does nothing without a handler, and nothing
// else but a page raises one.
constexpr bool HandlerFits(ControlKind kind, void (TForm1::*handler)()) {
    if (kind == ControlKind::Button || kind == ControlKind::DropDownList) return handler != nullptr;
    return kind == ControlKind::Page || handler == nullptr;
}
#define QM_CONTROL_HANDLER_FITS(name, kind, parent, caption, left, top, width, height, font, tabOrder, enabled, \
                                handler)                                                                       \
    &&HandlerFits(ControlKind::kind, handler)
static_assert(true QM_MAIN_WINDOW_CONTROLS(QM_CONTROL_HANDLER_FITS), "a control's handler does not fit its kind");
#undef QM_CONTROL_HANDLER_FITS

// The row of the control of that name; the table names only its own rows.
size_t RowNamed(std::string_view name) {
    const auto controls = MainWindowControls();
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].name == name) return i;
    throw std::logic_error("没有控件 " + std::string(name));
}

// Whether a row is the page control, the first page, or lies on the first page.
bool IsOnFirstPage(std::span<const ControlSpec> controls, size_t index) {
    std::string_view parent = controls[index].parent;
    if (controls[index].kind == ControlKind::PageControl) return true;
    if (controls[index].kind == ControlKind::Page) return controls[index].tabOrder == 0;
    while (!parent.empty()) {
        const ControlSpec& row = controls[RowNamed(parent)];
        if (row.kind == ControlKind::Page) return row.tabOrder == 0;
        parent = row.parent;
    }
    return false;
}

// The window's frame for a dpi.
SIZE FrameSize(int dpi, DWORD style, DWORD exStyle) {
    RECT frame{0, 0, ScaleToDpi(kClientWidth, dpi), ScaleToDpi(kClientHeight, dpi)};
    AdjustFrameForDpi(frame, style, exStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// Where a window frame of that size stands centred on the virtual screen.
Point CentredPosition(SIZE frame) {
    return CentredOnScreen(GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN), frame.cx,
                           frame.cy);
}

HICON LoadMainIcon(HINSTANCE instance, int size, UINT flags) {
    return static_cast<HICON>(LoadImageW(instance, L"MAINICON", IMAGE_ICON, size, size, flags));
}

void RegisterClasses(HINSTANCE instance, WNDPROC formProc) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = kPageClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = formProc;
    // Sized for the system dpi, which is the window's unless its monitor has a scale of its own.
    const int dpi = SystemDpi();
    wc.hIcon = LoadMainIcon(instance, ScaleToDpi(32, dpi), LR_SHARED);
    wc.hIconSm = LoadMainIcon(instance, ScaleToDpi(16, dpi), LR_SHARED);
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);
}

// The size of a label that sizes itself to its text.
SIZE TextExtent(std::string_view text, HFONT font) {
    const std::wstring wide = win32::Widen(text);
    const win32::ScreenDc screen;
    const HGDIOBJ old = SelectObject(screen.get(), font);
    SIZE size{};
    GetTextExtentPoint32W(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    SelectObject(screen.get(), old);
    return size;
}

// Has the window under the pointer set its cursor, as it would on the next
// move of the mouse.
void RefreshCursor() {
    POINT at{};
    if (!GetCursorPos(&at)) return;
    const HWND under = WindowFromPoint(at);
    if (!under || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) return;
    const auto hit = static_cast<WORD>(SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)));
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(hit, WM_MOUSEMOVE));
}

}  // namespace

TForm1::TForm1(HINSTANCE instance, HWND owner, const PagePorts& ports)
    : instance_(instance),
      browser_(ports.browser),
      tomcat_(ports.tomcat),
      environment_(ports.environment),
      sql_(ports.sql),
      openMachine_(ports.diagnosis),
      repair_(ports.repair) {
    RegisterClasses(instance, WindowProc);
    // Created where it will be shown and at its size for the system dpi; moving
    // it later costs about as much as creating a control.
    const SIZE frame = FrameSize(SystemDpi(), kFormStyle, kFormExStyle);
    const Point at = CentredPosition(frame);
    hwnd_ = CreateWindowExW(kFormExStyle, kFormClass, win32::Widen(kApplicationTitle).c_str(), kFormStyle, at.x, at.y,
                            frame.cx, frame.cy, owner, nullptr, instance, this);
    if (!hwnd_) throw std::runtime_error("无法创建主窗口");
    ApplyDpi(WindowDpi(hwnd_));
    CreateControls(true);
    ShowPage(0);
}

TForm1::~TForm1() {
    // A diagnosis still running then drops its report instead of posting it
    // to a window that is going; the page lets go of its controls first.
    diagnosis_.reset();
    if (startupPort_) startupPort_->Close();
    statusLines_.reset();
    SetMessageFilter(nullptr);
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

LRESULT CALLBACK TForm1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    // The one dispatch point: nothing escapes a window procedure.
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ReportEscapedError();
        return 0;
    }
}

LRESULT CALLBACK TForm1::ContainerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
    auto* self = reinterpret_cast<TForm1*>(data);
    if (message == WM_PRINTCLIENT) {
        // A themed button draws its parent's background into its own DC
        // first; a group box doing so leaves its caption font selected there
        // (seen under Wine), and the button's caption came out in it.
        const HDC dc = reinterpret_cast<HDC>(wParam);
        const int saved = SaveDC(dc);
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        RestoreDC(dc, saved);
        return result;
    }
    try {
        LRESULT result = 0;
        if (self->HandleContainerMessage(message, wParam, lParam, result)) return result;
    } catch (...) {
        ReportEscapedError();
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (HandleContainerMessage(message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) RememberFocus(GetFocus());
        break;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            RememberFocus(GetFocus());
            break;
        case SC_MAXIMIZE:
        case SC_SIZE:
            return 0;  // a fixed window: no maximise box, no sizing border
        default:
            break;
        }
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale: everything is laid out again
        // for it, where the system suggests.
        ApplyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, frameSize_.cx, frameSize_.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_GETMINMAXINFO: {
        // The window has one size; nothing may change it.
        if (frameSize_.cx > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = info->ptMaxTrackSize = info->ptMaxSize = {frameSize_.cx, frameSize_.cy};
        }
        return 0;
    }
    case kFinishPagesMessage:
        FinishPages();
        return 0;
    case WM_SETCURSOR:
        // While a box or the folder browser holds the window off, the pointer
        // over it is the usual one: the user is being asked something.
        if (actions_.Busy() && IsWindowEnabled(hwnd_)) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case kDiagnosisDoneMessage:
        RunHandler([this] {
            if (diagnosis_) diagnosis_->Done();
        });
        return 0;
    case kStartupPortMessage:
        RunHandler([this] { ShowStartupPort(); });
        return 0;
    case kStatusDoneMessage:
        if (statusLines_) statusLines_->Done();
        return 0;
    case WM_TIMER:
        if (wParam == kStatusTimer) ReadStatusLine(false);
        return 0;
    case WM_CLOSE:
        // Closing ends the message loop; the window itself goes in the exit
        // sequence, so a handler still waiting inside a pump finds it intact.
        ShowWindow(hwnd_, SW_HIDE);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// Messages that the pages and group boxes pass on to the window.
bool TForm1::HandleContainerMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const auto controls = MainWindowControls();
    // A control's id is its row in the table, counted from kFirstControlId.
    const auto rowOf = [&](int id, HWND control) -> std::optional<size_t> {
        const int index = id - kFirstControlId;
        if (index < 0 || static_cast<size_t>(index) >= controls_.size() || !control || controls_[index] != control)
            return std::nullopt;
        return static_cast<size_t>(index);
    };
    switch (message) {
    case WM_COMMAND: {
        const HWND control = reinterpret_cast<HWND>(lParam);
        const std::optional<size_t> row = rowOf(LOWORD(wParam), control);
        if (!row) return false;
        const ControlKind kind = controls[*row].kind;
        const WORD code = HIWORD(wParam);
        // A disabled control raises nothing, whatever sent the notification
        // (Wine lets a BM_CLICK through to a disabled button), and neither
        // does any control while a box holds the window off.
        const bool enabled = IsWindowEnabled(control) != FALSE && IsWindowEnabled(hwnd_) != FALSE;
        if (enabled && kind == ControlKind::Button && code == BN_CLICKED) Raise(kHandlers[*row]);
        // A pick that comes while another action runs is undone, so the list
        // never shows an entry that the page was not set for.
        if (enabled && kind == ControlKind::DropDownList && code == CBN_SELCHANGE) {
            if (actions_.Busy()) {
                SetComboBoxPick(control, keptPicks_[*row]);
            } else {
                keptPicks_[*row] = ComboBoxPick(control);
                Raise(kHandlers[*row]);
            }
        }
        result = 0;
        return true;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (ControlWrapper* wrapper = WrapperOf(header->hwndFrom)) return wrapper->Notify(lParam, result);
        if (header->hwndFrom != Control(ControlId::PageControl1) || header->code != TCN_SELCHANGE) return false;
        ShowPage(TabCtrl_GetCurSel(header->hwndFrom));
        result = 0;
        return true;
    }
    case WM_CTLCOLORSTATIC: {
        const HWND control = reinterpret_cast<HWND>(lParam);
        const std::optional<size_t> row = rowOf(GetDlgCtrlID(control), control);
        if (!row) return false;
        const ControlKind kind = controls[*row].kind;
        if (kind != ControlKind::Label && kind != ControlKind::StatusLine && kind != ControlKind::GroupBox &&
            kind != ControlKind::Picture)
            return false;
        const ControlWrapper* wrapper = WrapperOf(control);
        const std::optional<COLORREF> colour = wrapper ? wrapper->TextColour() : std::nullopt;
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, colour ? *colour : GetSysColor(COLOR_WINDOWTEXT));
        result = reinterpret_cast<LRESULT>(background_);
        return true;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const std::optional<size_t> row = rowOf(static_cast<int>(item->CtlID), item->hwndItem);
        if (!row || controls[*row].kind != ControlKind::Picture) return false;
        DrawPicture(*item);
        result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

// Every control costs start-up time, so the window appears with only what it
// shows first: the page control with all its tabs, the first page and its
// controls. The other pages follow at once after the first paint
// (FinishPages), before any input can reach the window. Each control is
// created in its place for the window's dpi.
void TForm1::CreateControls(bool firstPageOnly) {
    const auto controls = MainWindowControls();
    controls_.resize(controls.size(), nullptr);
    keptPicks_.resize(controls.size(), -1);
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls_[i]) continue;
        const ControlSpec& row = controls[i];
        if (firstPageOnly && !IsOnFirstPage(controls, i)) continue;
        const HWND parent = row.parent.empty() ? hwnd_ : controls_[RowNamed(row.parent)];
        controls_[i] = CreateControl(row, parent, kFirstControlId + static_cast<int>(i));
        LayOut(row, controls_[i], false);
        // The tabs are measured as they are inserted: once, with the page control's own font.
        if (row.kind == ControlKind::PageControl) InsertTabs(row.name, controls_[i]);
    }
}

// Every page has its tab from the start, whether or not its window exists yet.
void TForm1::InsertTabs(std::string_view pageControlName, HWND pageControl) {
    for (const ControlSpec& row : MainWindowControls()) {
        if (row.kind != ControlKind::Page || row.parent != pageControlName) continue;
        std::wstring caption = win32::Widen(row.caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        TabCtrl_InsertItem(pageControl, TabCtrl_GetItemCount(pageControl), &item);
    }
}

void TForm1::FinishPages() {
    if (pagesFinished_) return;
    pagesFinished_ = true;
    CreateControls(false);
    // After the first paint: the status lines cost the start-up nothing.
    statusLines_ = std::make_unique<StatusLines>(hwnd_, kStatusDoneMessage);
    SetTimer(hwnd_, kStatusTimer, kStatusPeriodMs, nullptr);
    SetMessageFilter([this](const MSG& message) { return FilterKey(message); });
    diagnosis_ = std::make_unique<DiagnosisPage>(
        hwnd_, kDiagnosisDoneMessage,
        DiagnosisPage::Controls{Control(ControlId::DiagnosisSummary), Control(ControlId::DiagnosisList),
                                Control(ControlId::DiagnosisDetails), Control(ControlId::DiagnoseButton),
                                Control(ControlId::CopyReportButton), Control(ControlId::RepairButton)},
        openMachine_, repair_, [this](int designPixels) { return Scale(designPixels); });
    // An error in FormCreate is reported and ends FormCreate; the window
    // stays all the same.
    RunHandler([this] { FormCreate(); });
}

// Sizes, fonts and icons for the window's dpi: once at creation, and again
// whenever the window moves to a monitor of another scale.
void TForm1::ApplyDpi(int dpi) {
    dpi_ = dpi;
    frameSize_ = FrameSize(dpi_, kFormStyle, kFormExStyle);
    RECT frame;
    GetWindowRect(hwnd_, &frame);
    if (frame.right - frame.left != frameSize_.cx || frame.bottom - frame.top != frameSize_.cy)
        SetWindowPos(hwnd_, nullptr, 0, 0, frameSize_.cx, frameSize_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    // The class's icons serve the system dpi; a window of another dpi gets its
    // own, and coming back to the system dpi it returns to the class's (null).
    win32::UniqueIcon bigIcon, smallIcon;
    if (dpi_ != SystemDpi()) {
        bigIcon.reset(LoadMainIcon(instance_, Scale(32), 0));
        smallIcon.reset(LoadMainIcon(instance_, Scale(16), 0));
    }
    if (bigIcon || windowIcon_) {
        SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    }
    windowIcon_ = std::move(bigIcon);
    windowSmallIcon_ = std::move(smallIcon);
    pictureIcon_.reset();  // loaded at its new size when next drawn

    // The old fonts go only once every control has its new one.
    std::vector<SharedFont> oldFonts = std::move(fonts_);
    fonts_.clear();
    const auto controls = MainWindowControls();
    for (size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i]) LayOut(controls[i], controls_[i], true);

    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Where a control goes in its parent, for the window's dpi: a page fills the
// page control's display area, a label is as large as its text, and a combo
// box's height includes its drop-down list.
RECT TForm1::Placement(const ControlSpec& row) {
    if (row.kind == ControlKind::Page) {
        const HWND pageControl = controls_[RowNamed(row.parent)];
        RECT area;
        GetClientRect(pageControl, &area);
        TabCtrl_AdjustRect(pageControl, FALSE, &area);
        return area;
    }
    int width = Scale(row.width);
    int height = Scale(row.height);
    if (row.kind == ControlKind::Label && row.width == 0) {
        const SIZE size = TextExtent(row.caption, FontFor(row.font));
        width = size.cx;
        height = size.cy;
    } else if (row.kind == ControlKind::DropDownList) {
        height = Scale(row.height) + Scale(17) * kDropDownVisibleItems;
    }
    return {Scale(row.left), Scale(row.top), Scale(row.left) + width, Scale(row.top) + height};
}

// Fonts and, when asked, places for the window's dpi: a control is created in
// its place, and placing one costs a round of messages.
void TForm1::LayOut(const ControlSpec& row, HWND control, bool place) {
    const HFONT font = FontFor(row.font);
    if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.kind == ControlKind::DropDownList) {
        SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), Scale(17));
        SendMessageW(control, CB_SETITEMHEIGHT, 0, Scale(17));
    }
    // A combo box takes the height of its drop-down list only from being
    // placed after its item heights.
    if (place || row.kind == ControlKind::DropDownList) {
        const RECT at = Placement(row);
        SetWindowPos(control, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (row.kind == ControlKind::PageControl) TabCtrl_SetMinTabWidth(control, Scale(kMinTabWidth));
    if (ControlWrapper* wrapper = WrapperOf(control)) wrapper->ApplyDpi();
    if (row.kind == ControlKind::DropDownList) {
        // The closed box is its selection field plus borders whose size the
        // theme decides: grow or shrink the field until the box has its height.
        RECT closed;
        GetWindowRect(control, &closed);
        const int field = Scale(17) + Scale(row.height) - (closed.bottom - closed.top);
        SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
}

HWND TForm1::CreateControl(const ControlSpec& row, HWND parent, int id) {
    const std::wstring caption = win32::Widen(row.caption);
    DWORD style = WS_CHILD | WS_VISIBLE | (row.enabled ? 0 : WS_DISABLED);
    DWORD exStyle = 0;
    const wchar_t* windowClass = nullptr;
    const wchar_t* text = caption.c_str();

    switch (row.kind) {
    case ControlKind::PageControl:
        windowClass = WC_TABCONTROLW;
        style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;
        break;
    case ControlKind::Page:
        windowClass = kPageClass;
        style = WS_CHILD | WS_CLIPCHILDREN;  // shown by ShowPage
        exStyle = WS_EX_CONTROLPARENT;
        text = L"";
        break;
    case ControlKind::GroupBox:
        windowClass = WC_BUTTONW;
        style |= BS_GROUPBOX;
        exStyle = WS_EX_CONTROLPARENT;
        break;
    case ControlKind::Button:
        windowClass = WC_BUTTONW;
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    case ControlKind::Edit:
        windowClass = WC_EDITW;
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::Label:
        windowClass = WC_STATICW;
        style |= SS_LEFT | SS_NOPREFIX;
        break;
    case ControlKind::StatusLine:
        windowClass = WC_STATICW;
        style |= SS_CENTER | SS_NOPREFIX;
        break;
    case ControlKind::DropDownList:
        windowClass = WC_COMBOBOXW;
        style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
        break;
    case ControlKind::Picture:
        windowClass = WC_STATICW;
        style |= SS_OWNERDRAW;
        break;
    case ControlKind::ReadOnlyText:
        windowClass = WC_EDITW;
        style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::ReportList:
        windowClass = WC_LISTVIEWW;
        style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    }

    // Given its font by LayOut.
    const RECT at = Placement(row);
    const HWND control =
        CreateWindowExW(exStyle, windowClass, text, style, at.left, at.top, at.right - at.left, at.bottom - at.top,
                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (!control) throw std::runtime_error("无法创建控件 " + std::string(row.name));
    if (row.kind == ControlKind::ReportList)
        ListView_SetExtendedListViewStyle(control, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    if (row.kind == ControlKind::Page || row.kind == ControlKind::GroupBox || row.kind == ControlKind::PageControl)
        SetWindowSubclass(control, ContainerProc, kContainerSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return control;
}

// Controls that ask for the same font share one: seven fonts serve them all.
HFONT TForm1::FontFor(const FontSpec& font) {
    if (font.face.empty()) return nullptr;
    for (const SharedFont& shared : fonts_)
        if (shared.wanted == font) return shared.font.get();
    LOGFONTW lf{};
    lf.lfHeight = -Scale(font.height);  // negative: the character height, not the cell height
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    const std::wstring face = win32::Widen(font.face);
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    fonts_.push_back({font, win32::UniqueFont(CreateFontIndirectW(&lf))});
    return fonts_.back().font.get();
}

void TForm1::ShowPage(int index) {
    if (index != 0) FinishPages();
    const auto controls = MainWindowControls();
    int page = 0;
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].kind != ControlKind::Page) continue;
        if (controls_[i]) ShowWindow(controls_[i], page == index ? SW_SHOW : SW_HIDE);
        if (page == index && kHandlers[i]) RunHandler([&] { (this->*kHandlers[i])(); });
        ++page;
    }
}

void TForm1::DrawPicture(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, background_);
    if (!pictureIcon_) pictureIcon_.reset(LoadMainIcon(instance_, Scale(kPictureSize), 0));
    DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, pictureIcon_.get(), Scale(kPictureSize),
               Scale(kPictureSize), 0, nullptr, DI_NORMAL);
}

void TForm1::Show(int showCommand) {
    if (!shown_) {
        RECT frame;
        GetWindowRect(hwnd_, &frame);
        const Point at = CentredPosition({frame.right - frame.left, frame.bottom - frame.top});
        if (at.x != frame.left || at.y != frame.top)
            SetWindowPos(hwnd_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        shown_ = true;
    }
    const int command = showCommand == SW_SHOWMAXIMIZED     ? SW_SHOWMAXIMIZED
                        : showCommand == SW_SHOWMINNOACTIVE ? SW_SHOWMINNOACTIVE
                                                            : SW_SHOWNORMAL;
    ShowWindow(hwnd_, command);
    UpdateWindow(hwnd_);
    // Posted, so it comes before any input the user gives the window.
    if (!pagesFinished_) PostMessageW(hwnd_, kFinishPagesMessage, 0, 0);
    if (command != SW_SHOWMINNOACTIVE) {
        if (const HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) SetFocus(first);
    }
}

bool TForm1::Raise(Handler handler) {
    // The busy cursor from the start to the end; the window keeps it up
    // meanwhile (WM_SETCURSOR). The status lines are the action's meanwhile,
    // and read anew after it.
    const bool ran = actions_.Run([&] {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        if (statusLines_) statusLines_->Hold(true);
        RunHandler([&] { (this->*handler)(); });
        if (statusLines_) statusLines_->Hold(false);
    });
    if (ran) {
        RefreshCursor();
        ReadStatusLine(true);
    }
    return ran;
}

void TForm1::FormCreate() {
    ShowInstallationDirectories();
    getSQLServer();
    ReadStatusLine(true);
}

// The line of the page that shows, if it has one; none while the window is
// minimised.
void TForm1::ReadStatusLine(bool again) {
    if (!statusLines_ || IsIconic(hwnd_) || !IsWindowVisible(hwnd_)) return;
    const int page = TabCtrl_GetCurSel(Control(ControlId::PageControl1));
    if (page == kTomcatPage)
        statusLines_->ReadTomcat(Control(ControlId::TomcatStatus), again);
    else if (page == kSqlPage)
        statusLines_->ReadSql(Control(ControlId::SqlStatus), ControlText(Control(ControlId::ServiceComboBox)));
}

void TForm1::TomcatTabSheetShow() { ReadStatusLine(true); }
void TForm1::SQLTabSheetShow() { ReadStatusLine(true); }

// Another page, as the tab control would show it on a click, and the focus
// off a page that is hidden.
void TForm1::TurnPage(int index) {
    const HWND pages = Control(ControlId::PageControl1);
    const int count = TabCtrl_GetItemCount(pages);
    if (count <= 0) return;
    index = (index % count + count) % count;
    const HWND focus = GetFocus();
    TabCtrl_SetCurSel(pages, index);
    ShowPage(index);
    if (focus && focus != pages && !IsWindowVisible(focus)) SetFocus(pages);
}

// The keys a property sheet has, before the dialog keys take them.
bool TForm1::FilterKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || !message.hwnd || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd)))
        return false;
    if (!IsWindowEnabled(hwnd_)) return false;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const int page = TabCtrl_GetCurSel(Control(ControlId::PageControl1));
    if (control && (message.wParam == VK_TAB || message.wParam == VK_NEXT || message.wParam == VK_PRIOR)) {
        const bool back = message.wParam == VK_PRIOR || (message.wParam == VK_TAB && shift);
        TurnPage(page + (back ? -1 : 1));
        return true;
    }
    // The details box is read-only: Tab moves on from it as from any control.
    if (!control && message.wParam == VK_TAB && message.hwnd == Control(ControlId::DiagnosisDetails)) {
        if (const HWND next = GetNextDlgTabItem(hwnd_, message.hwnd, shift ? TRUE : FALSE)) SetFocus(next);
        return true;
    }
    if (!control && message.wParam == VK_RETURN && message.hwnd == Control(ControlId::TomcatPort)) {
        const HWND button = Control(ControlId::btn_port);
        if (IsWindowEnabled(button) && IsWindowVisible(button)) Raise(&TForm1::btn_portClick);
        return true;
    }
    return false;
}

}  // namespace qm::ui

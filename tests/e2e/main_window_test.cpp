// The main window as the user gets it: caption, size, pages, every control.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "e2e/display_scale.h"
#include "e2e/quillmate_session.h"
#include "support/lib/controls.h"
#include "support/lib/message_box.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"
#include "platform/win32/wide_text.h"
#include "ui/form_layout.h"

namespace qm::test {
namespace {

// The window class each kind of control is made of.
const wchar_t* ClassOf(ui::ControlKind kind) {
    switch (kind) {
    case ui::ControlKind::PageControl:
        return L"SysTabControl32";
    case ui::ControlKind::Page:
        return L"TTabSheet";
    case ui::ControlKind::GroupBox:
    case ui::ControlKind::Button:
        return L"Button";
    case ui::ControlKind::Edit:
    case ui::ControlKind::ReadOnlyText:
        return L"Edit";
    case ui::ControlKind::Label:
    case ui::ControlKind::StatusLine:
    case ui::ControlKind::Picture:
        return L"Static";
    case ui::ControlKind::DropDownList:
        return L"ComboBox";
    case ui::ControlKind::ReportList:
        return L"SysListView32";
    }
    return L"";
}

// The controls on the pages, as the table lays them out: the page control
// and the pages are sized by the window.
std::vector<ui::ControlSpec> ControlsOnPages() {
    std::vector<ui::ControlSpec> placed;
    for (const ui::ControlSpec& c : ui::MainWindowControls())
        if (c.kind != ui::ControlKind::PageControl && c.kind != ui::ControlKind::Page) placed.push_back(c);
    return placed;
}

const char* const kPages[] = {"TomcatTabSheet", "IETabSheet",        "EnvTabSheet",
                              "SQLTabSheet",    "DiagnosisTabSheet", "TabSheet1"};
constexpr int kPageCount = 6;

// Every tab fits the control's width: no scroll arrows (an up-down control
// that the tab control shows once its tabs are wider than itself).
void ExpectEveryTabShown(HWND pages) {
    const HWND arrows = FindChildWindow(pages, {L"msctls_updown32", std::nullopt});
    EXPECT_TRUE(arrows == nullptr || !IsWindowVisible(arrows));
    RECT client;
    ASSERT_TRUE(GetClientRect(pages, &client));
    const auto last = TabItemRect(pages, kPageCount - 1);
    ASSERT_TRUE(last);
    EXPECT_LE(last->right, client.right);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        session_.emplace(QuillmateSession::Start(WithInstallations(L"C:\\jdk1.6.0_45", L"D:\\服务器\\tomcat6")));
        ASSERT_NE(session_->MainWindow(), nullptr);
    }
    QuillmateSession& Session() { return *session_; }
    std::optional<QuillmateSession> session_;
};

TEST_F(MainWindow, IsAFixedWindowCalledQuillmateWithTheDesignedClientArea) {
    const WindowInfo main = DescribeWindow(Session().MainWindow());
    EXPECT_EQ(main.text, L"Quillmate");
    EXPECT_EQ(main.clientSize.cx, 377);
    EXPECT_EQ(main.clientSize.cy, 363);
    EXPECT_TRUE(main.style & WS_CAPTION);
    EXPECT_TRUE(main.style & WS_SYSMENU);
    EXPECT_TRUE(main.style & WS_MINIMIZEBOX);
    EXPECT_FALSE(main.style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(main.style & WS_THICKFRAME);
    // Owned by the application's hidden owner window, which carries the title.
    const HWND owner = Session().OwnerWindow();
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(ReadWindowText(owner), L"Quillmate");
    EXPECT_FALSE(IsWindowVisible(owner));
    RECT ownerRect;
    ASSERT_TRUE(GetWindowRect(owner, &ownerRect));
    EXPECT_EQ(ownerRect.right - ownerRect.left, 0);
    EXPECT_EQ(ownerRect.bottom - ownerRect.top, 0);
}

TEST_F(MainWindow, IsCentredOnTheVirtualScreen) {
    RECT frame;
    ASSERT_TRUE(GetWindowRect(Session().MainWindow(), &frame));
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXVIRTUALSCREEN) - w) / 2);
    EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYVIRTUALSCREEN) - h) / 2);
}

TEST_F(MainWindow, RefusesToBeMaximisedOrResized) {
    RECT before, after;
    GetWindowRect(Session().MainWindow(), &before);
    DWORD_PTR ignored;
    SendMessageTimeoutW(Session().MainWindow(), WM_SYSCOMMAND, SC_MAXIMIZE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    EXPECT_FALSE(IsZoomed(Session().MainWindow()));
    // The keyboard's size command from the system menu does nothing either.
    SendMessageTimeoutW(Session().MainWindow(), WM_SYSCOMMAND, SC_SIZE, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    GetWindowRect(Session().MainWindow(), &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(MainWindow, HasSixPagesInOrderWithTheFirstShown) {
    const HWND pages = Session().Control("PageControl1");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(ClassNameOf(pages), L"SysTabControl32");
    const WindowInfo info = DescribeWindow(pages);
    EXPECT_EQ(info.rectInParent.left, 0);
    EXPECT_EQ(info.rectInParent.top, 0);
    EXPECT_EQ(info.rectInParent.right, 377);
    EXPECT_EQ(info.rectInParent.bottom, 369);  // 6 pixels below the client area
    EXPECT_EQ(TabCaptions(pages),
              (std::vector<std::wstring>{L"Apache Tomcat", L"IE浏览器", L"运行环境", L"SQL Server", L"诊断", L"关于"}));
    EXPECT_EQ(CurrentTab(pages), 0);
    EXPECT_TRUE(IsWindowVisible(Session().Control("TomcatTabSheet")));
    for (const char* hidden : {"IETabSheet", "EnvTabSheet", "SQLTabSheet", "DiagnosisTabSheet", "TabSheet1"})
        EXPECT_FALSE(IsWindowVisible(Session().Control(hidden))) << hidden;
    ExpectEveryTabShown(pages);
}

TEST_F(MainWindow, LaysOutEveryControlAsDesigned) {
    for (const ui::ControlSpec& e : ControlsOnPages()) {
        SCOPED_TRACE(std::string(e.name));
        const HWND control = Session().Control(e.name);
        ASSERT_NE(control, nullptr);
        const WindowInfo info = DescribeWindow(control);
        EXPECT_EQ(info.className, ClassOf(e.kind));
        EXPECT_EQ(info.parent, Session().Control(e.parent));
        // The edit boxes show what the program read (tested below).
        // The status lines say what they read once the window is up.
        if (e.kind != ui::ControlKind::Edit && e.kind != ui::ControlKind::StatusLine) {
            EXPECT_EQ(info.text, win32::Widen(e.caption));
        }
        EXPECT_EQ(info.rectInParent.left, e.left);
        EXPECT_EQ(info.rectInParent.top, e.top);
        if (e.width) {
            EXPECT_EQ(info.rectInParent.right - info.rectInParent.left, e.width);
            EXPECT_EQ(info.rectInParent.bottom - info.rectInParent.top, e.height);
        } else {
            EXPECT_GT(info.rectInParent.right - info.rectInParent.left, 0);
            EXPECT_GT(info.rectInParent.bottom - info.rectInParent.top, 0);
        }
        EXPECT_EQ(info.enabled, e.enabled);
        // A group box has a place in the tab order (its children's) but takes no focus itself.
        const bool groupBox = (info.style & BS_TYPEMASK) == BS_GROUPBOX && info.className == L"Button";
        EXPECT_EQ((info.style & WS_TABSTOP) != 0, e.tabOrder >= 0 && !groupBox);
    }
}

TEST_F(MainWindow, OffersTheFocusInTheDesignedTabOrder) {
    // Within each parent, the focusable controls in z-order (the order the
    // dialog manager tabs through) must follow the designed tab order.
    std::map<std::string, std::vector<std::pair<int, HWND>>> byParent;
    for (const ui::ControlSpec& e : ControlsOnPages())
        if (e.tabOrder >= 0) byParent[std::string(e.parent)].push_back({e.tabOrder, Session().Control(e.name)});
    for (auto& [parent, members] : byParent) {
        SCOPED_TRACE(parent);
        std::sort(members.begin(), members.end());
        std::vector<HWND> designed;
        for (auto& m : members) designed.push_back(m.second);
        std::vector<HWND> actual;
        for (HWND w = GetWindow(Session().Control(parent), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            if (std::find(designed.begin(), designed.end(), w) != designed.end()) actual.push_back(w);
        EXPECT_EQ(actual, designed);
    }
}

TEST_F(MainWindow, ShowsTheInstallationDirectoriesFromTheEnvironment) {
    EXPECT_EQ(ReadWindowText(Session().Control("JavaHomeEdit")), L"C:\\jdk1.6.0_45");
    EXPECT_EQ(ReadWindowText(Session().Control("TomcatHomeEdit")), L"D:\\服务器\\tomcat6");
    // No server.xml there: the port stays empty and nothing is said.
    EXPECT_EQ(ReadWindowText(Session().Control("TomcatPort")), L"");
    EXPECT_TRUE(NoMessageBoxOpen(Session().ProcessId()));
}

TEST_F(MainWindow, ShowsEveryPageWhenItsTabIsClicked) {
    const HWND pages = Session().Control("PageControl1");
    for (int i = kPageCount - 1; i >= 0; --i) {
        ASSERT_TRUE(SelectTab(pages, i)) << i;
        EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(Session().Control(kPages[i])) != FALSE; })) << kPages[i];
        for (int j = 0; j < kPageCount; ++j)
            if (j != i) {
                EXPECT_FALSE(IsWindowVisible(Session().Control(kPages[j]))) << kPages[j];
            }
    }
}

TEST_F(MainWindow, ClosingEndsTheProgramWithExitCodeZero) { EXPECT_EQ(Session().Close(), std::optional<DWORD>(0)); }

TEST(MainWindowWithoutInstallations, OpensWithEmptyDirectoryAndPortEdits) {
    QuillmateSession session = QuillmateSession::Start(WithInstallations(L"", L""));
    ASSERT_NE(session.MainWindow(), nullptr);
    EXPECT_EQ(ReadWindowText(session.Control("JavaHomeEdit")), L"");
    EXPECT_EQ(ReadWindowText(session.Control("TomcatHomeEdit")), L"");
    EXPECT_EQ(ReadWindowText(session.Control("TomcatPort")), L"");
    EXPECT_TRUE(NoMessageBoxOpen(session.ProcessId()));
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

TEST(MainWindowShowCommand, StartsMinimisedWhenAskedTo) {
    QuillmateSession session = QuillmateSession::Start(ProgramOptions().ShowCommand(SW_SHOWMINNOACTIVE));
    ASSERT_NE(session.MainWindow(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(session.MainWindow()) != FALSE; }));
}

TEST(MainWindowShowCommand, StartsMaximisedWhenAskedToButKeepsItsSize) {
    QuillmateSession session = QuillmateSession::Start(ProgramOptions().ShowCommand(SW_SHOWMAXIMIZED));
    ASSERT_NE(session.MainWindow(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return IsZoomed(session.MainWindow()) != FALSE; }));
    EXPECT_EQ(DescribeWindow(session.MainWindow()).clientSize.cx, 377);
    EXPECT_EQ(DescribeWindow(session.MainWindow()).clientSize.cy, 363);
}

TEST(MainWindowShowCommand, AnyOtherCommandShowsItNormally) {
    QuillmateSession session = QuillmateSession::Start(ProgramOptions().ShowCommand(SW_HIDE));
    ASSERT_NE(session.MainWindow(), nullptr);
    EXPECT_TRUE(IsWindowVisible(session.MainWindow()));
    EXPECT_FALSE(IsIconic(session.MainWindow()));
    EXPECT_FALSE(IsZoomed(session.MainWindow()));
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

TEST(MainWindowAt144Dpi, ScalesTheWholeLayoutByOneAndAHalf) {
    DisplayScale scale(144);
    QuillmateSession session = QuillmateSession::Start();
    ASSERT_NE(session.MainWindow(), nullptr);
    const WindowInfo main = DescribeWindow(session.MainWindow());
    EXPECT_EQ(main.clientSize.cx, 566);  // 377 x 1.5, rounded
    EXPECT_EQ(main.clientSize.cy, 545);  // 363 x 1.5
    const WindowInfo port = DescribeWindow(session.Control("TomcatPort"));
    EXPECT_EQ(port.rectInParent.left, 288);
    EXPECT_EQ(port.rectInParent.top, 141);
    EXPECT_EQ(port.rectInParent.right - port.rectInParent.left, 98);  // 65 x 1.5, rounded
    const WindowInfo button = DescribeWindow(session.Control("cxButton10"));
    EXPECT_EQ(button.rectInParent.left, 144);
    EXPECT_EQ(button.rectInParent.top, 393);
    EXPECT_EQ(button.rectInParent.bottom - button.rectInParent.top, 53);  // 35 x 1.5, rounded
    ExpectEveryTabShown(session.Control("PageControl1"));
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

void PostKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

TEST(MainWindowKeyboard, TabReachesTheFirstButtonAndEnterPressesIt) {
    QuillmateSession session = QuillmateSession::Start(WithInstallations(L"", L""));
    ASSERT_NE(session.MainWindow(), nullptr);
    const HWND clear = session.Control("cxButton7");
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(session.MainWindow()) != nullptr; }));
    PostKey(FocusOf(session.MainWindow()), VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(session.MainWindow()) == clear; }));
    PostKey(clear, VK_RETURN);
    const HWND box = WaitForMessageBox(session.ProcessId());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadMessageBox(box).text, L"未设置Tomcat安装目录(CATALINA_HOME)!");
    EXPECT_TRUE(AnswerMessageBox(box));
}

// Keys typed with Ctrl held, as the keyboard gives them to the window that
// has the focus.
bool TypeWithControl(WORD key) {
    INPUT keys[4]{};
    const WORD sequence[4] = {VK_CONTROL, key, key, VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = sequence[i];
        if (i >= 2) keys[i].ki.dwFlags = KEYEVENTF_KEYUP;
        if (key == VK_NEXT || key == VK_PRIOR) keys[i].ki.dwFlags |= i == 1 || i == 2 ? KEYEVENTF_EXTENDEDKEY : 0;
    }
    return SendInput(4, keys, sizeof(INPUT)) == 4;
}

TEST(MainWindowKeyboard, CtrlTabAndCtrlPageKeysTurnThePagesFromAnywhere) {
    QuillmateSession session = QuillmateSession::Start(WithInstallations(L"", L""));
    ASSERT_NE(session.MainWindow(), nullptr);
    const HWND pages = session.Control("PageControl1");
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(session.MainWindow()) != nullptr; }));
    SetForegroundWindow(session.MainWindow());
    ASSERT_TRUE(TypeWithControl(VK_TAB));
    ASSERT_TRUE(WaitUntil([&] { return CurrentTab(pages) == 1; }));
    ASSERT_TRUE(TypeWithControl(VK_NEXT));
    ASSERT_TRUE(WaitUntil([&] { return CurrentTab(pages) == 2; }));
    ASSERT_TRUE(TypeWithControl(VK_PRIOR));
    EXPECT_TRUE(WaitUntil([&] { return CurrentTab(pages) == 1; }));
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

TEST(MainWindowDisabledButtons, RaiseNothingEvenWhenSentAClick) {
    QuillmateSession session = QuillmateSession::Start(WithInstallations(L"", L""));
    ASSERT_NE(session.MainWindow(), nullptr);
    ASSERT_FALSE(IsWindowEnabled(session.Control("cxButton13")));
    // Straight to the disabled start button, then to a button that answers
    // with a box at once: handlers run in order, so a start handler run by the
    // first click would have shown its box first.
    PostMessageW(session.Control("cxButton13"), BM_CLICK, 0, 0);
    ASSERT_TRUE(PostClick(session.Control("cxButton7")));
    const HWND box = WaitForMessageBox(session.ProcessId());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadMessageBox(box).text, L"未设置Tomcat安装目录(CATALINA_HOME)!");
    EXPECT_TRUE(AnswerMessageBox(box));
}

}  // namespace
}  // namespace qm::test

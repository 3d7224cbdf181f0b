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

namespace qm::test {
namespace {

struct Expected {
    const char* name;
    const wchar_t* className;
    const char* parent;
    const wchar_t* text;
    int left, top, width, height;  // 0 x 0: sized by its text
    bool enabled;
    int tabOrder;  // -1: takes no focus
};

// Written from the window's design, not from the program's table.
const std::vector<Expected> kExpected = {
    {"cxButton7", L"Button", "TomcatTabSheet", L"清除临时文件", 96, 62, 185, 35, true, 0},
    {"cxButton8", L"Button", "TomcatTabSheet", L"启动服务", 96, 126, 185, 35, true, 1},
    {"cxButton9", L"Button", "TomcatTabSheet", L"以服务形式启动", 96, 190, 185, 35, true, 2},
    {"cxButton10", L"Button", "TomcatTabSheet", L"关闭服务", 96, 262, 185, 35, true, 3},
    {"cxButton1", L"Button", "IETabSheet", L"清除临时文件", 96, 30, 185, 35, true, 1},
    {"cxButton2", L"Button", "IETabSheet", L"清除Cookie", 96, 78, 185, 35, true, 0},
    {"cxButton3", L"Button", "IETabSheet", L"清除历史记录", 96, 126, 185, 35, true, 2},
    {"cxButton4", L"Button", "IETabSheet", L"清除表单数据", 96, 174, 185, 35, true, 3},
    {"cxButton5", L"Button", "IETabSheet", L"清除密码", 96, 222, 185, 35, true, 4},
    {"cxButton6", L"Button", "IETabSheet", L"清除以上全部", 96, 270, 185, 35, true, 5},
    {"GroupBox1", L"Button", "EnvTabSheet", L"Java", 8, 16, 353, 137, true, 0},
    {"JavaHomeEdit", L"Edit", "GroupBox1", L"C:\\jdk1.6.0_45", 8, 48, 321, 27, false, 0},
    {"cxButton11", L"Button", "GroupBox1", L"更换安装目录", 8, 86, 121, 27, true, 1},
    {"GroupBox2", L"Button", "EnvTabSheet", L"Tomcat", 8, 168, 353, 145, true, 1},
    {"TomcatHomeEdit", L"Edit", "GroupBox2", L"D:\\服务器\\tomcat6", 8, 46, 321, 27, false, 0},
    {"cxButton12", L"Button", "GroupBox2", L"更换安装目录", 8, 94, 121, 27, true, 1},
    {"lbl1", L"Static", "GroupBox2", L"端口", 148, 97, 0, 0, true, -1},
    {"TomcatPort", L"Edit", "GroupBox2", L"", 192, 94, 65, 27, true, 3},
    {"btn_port", L"Button", "GroupBox2", L"修改", 264, 94, 65, 27, true, 2},
    {"Label5", L"Static", "SQLTabSheet", L"数据库实例", 36, 98, 0, 0, true, -1},
    {"ServiceComboBox", L"ComboBox", "SQLTabSheet", L"", 136, 96, 185, 25, true, 0},
    {"cxButton13", L"Button", "SQLTabSheet", L"启动", 88, 166, 73, 27, false, 1},
    {"cxButton14", L"Button", "SQLTabSheet", L"停止", 200, 166, 73, 27, false, 2},
    {"Image1", L"Static", "TabSheet1", L"", 32, 72, 41, 41, true, -1},
    {"Label1", L"Static", "TabSheet1", L"Quillmate", 96, 80, 0, 0, true, -1},
    {"Label2", L"Static", "TabSheet1", L"For Tomcat6", 136, 136, 0, 0, true, -1},
    {"Label3", L"Static", "TabSheet1", L"Version : 1.2.2", 133, 208, 0, 0, true, -1},
    {"Label4", L"Static", "TabSheet1", nullptr, 16, 312, 0, 0, true, -1},
    {"DiagnosisSummary", L"Static", "DiagnosisTabSheet", L"", 8, 6, 355, 20, true, -1},
    {"DiagnosisList", L"SysListView32", "DiagnosisTabSheet", L"", 8, 28, 355, 150, true, 0},
    {"DiagnosisDetails", L"Edit", "DiagnosisTabSheet", L"", 8, 184, 355, 106, true, 1},
    {"DiagnoseButton", L"Button", "DiagnosisTabSheet", L"开始诊断", 112, 298, 121, 27, true, 2},
    {"CopyReportButton", L"Button", "DiagnosisTabSheet", L"复制结果", 242, 298, 121, 27, true, 3},
};

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
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.name);
        const HWND control = Session().Control(e.name);
        ASSERT_NE(control, nullptr);
        const WindowInfo info = DescribeWindow(control);
        EXPECT_EQ(info.className, e.className);
        EXPECT_EQ(info.parent, Session().Control(e.parent));
        if (e.text) {
            EXPECT_EQ(info.text, e.text);
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
    for (const Expected& e : kExpected)
        if (e.tabOrder >= 0) byParent[e.parent].push_back({e.tabOrder, Session().Control(e.name)});
    for (auto& [parent, members] : byParent) {
        SCOPED_TRACE(parent);
        std::sort(members.begin(), members.end());
        std::vector<HWND> designed;
        for (auto& m : members) designed.push_back(m.second);
        std::vector<HWND> actual;
        for (HWND w = GetWindow(Session().Control(parent.c_str()), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
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

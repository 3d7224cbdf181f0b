// A box holds the whole program off while it is up, against real mouse input.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/quillmate_session.h"
#include "support/lib/controls.h"
#include "support/lib/message_box.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

// Moves the box off the main window, so a click on the window's buttons
// meets the window and not the box.
bool MoveAside(HWND box, HWND main) {
    if (!SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) return false;
    return WaitUntil([&] {
        RECT boxRect{}, mainRect{}, overlap{};
        GetWindowRect(box, &boxRect);
        GetWindowRect(main, &mainRect);
        return !IntersectRect(&overlap, &boxRect, &mainRect);
    });
}

TEST(ModalBox, HoldsTheMainWindowOffUntilItIsAnsweredAndGivesTheFocusBack) {
    // Without a Tomcat directory both the clear and the start button answer
    // at once with a box.
    QuillmateSession session = QuillmateSession::Start(WithInstallations(L"", L""));
    const HWND main = session.MainWindow();
    const HWND clear = session.Control("cxButton7");
    const HWND start = session.Control("cxButton8");

    ASSERT_TRUE(MouseClick(clear));
    const HWND box = WaitForMessageBox(session.ProcessId());
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(IsWindowEnabled(main));
    ASSERT_TRUE(MoveAside(box, main));

    // Had this click reached its handler, a second box would be up and would
    // hold the first one off too: the first could not be answered below.
    ASSERT_TRUE(MouseClick(start));
    ASSERT_TRUE(MouseClick(GetDlgItem(box, IDOK)));
    EXPECT_TRUE(WaitForWindowGone(box));
    EXPECT_TRUE(NoMessageBoxOpen(session.ProcessId()));

    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(main) == clear; })) << "focus on " << FocusOf(main);

    // The same click now reaches the button.
    ASSERT_TRUE(MouseClick(start));
    const HWND next = WaitForMessageBox(session.ProcessId());
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(ReadMessageBox(next).text, L"未设置Tomcat安装目录(CATALINA_HOME)!");
    EXPECT_TRUE(AnswerMessageBox(next));
}

}  // namespace
}  // namespace qm::test

// The folder browser, shown by this test's own thread and driven from a
// second one, as a person would: pick a directory or cancel.
#include "platform/win32/folder_browser_win.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "support/lib/folder_browser.h"
#include "support/lib/processes.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <cwctype>
#include <thread>

namespace qm {
namespace {

std::wstring Folded(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

win32::UniqueWindow TopLevelWindow(DWORD style) {
    return win32::UniqueWindow(CreateWindowExW(0, L"STATIC", L"ours", WS_OVERLAPPEDWINDOW | style, 0, 0, 200, 100,
                                               nullptr, nullptr, nullptr, nullptr));
}

class ShellFolderBrowserTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }

    test::ScratchDirectory scratch;
    win32::UniqueWindow owner = TopLevelWindow(WS_VISIBLE);
    win32::UniqueWindow second = TopLevelWindow(WS_VISIBLE);
    win32::UniqueWindow alreadyDisabled = TopLevelWindow(WS_VISIBLE | WS_DISABLED);

    // What the driver saw while the browser was up.
    std::atomic<bool> found{false};
    std::atomic<bool> oursDisabled{false};
    std::atomic<UINT> errorMode{0};
    std::wstring instruction;

    template <typename Act>
    std::thread Driver(Act act) {
        return std::thread([this, act] {
            const HWND browser = test::WaitForFolderBrowser(GetCurrentProcessId());
            if (!browser) return;
            found = true;
            oursDisabled = !IsWindowEnabled(owner.get()) && !IsWindowEnabled(second.get());
            errorMode = GetErrorMode();
            instruction = test::FolderBrowserInstruction(browser);
            act(browser);
        });
    }

    void ExpectOursGivenBack(UINT modeBefore) {
        EXPECT_TRUE(found);
        EXPECT_TRUE(oursDisabled);
        EXPECT_NE(errorMode & SEM_FAILCRITICALERRORS, 0u);
        EXPECT_EQ(GetErrorMode(), modeBefore);
        EXPECT_TRUE(IsWindowEnabled(owner.get()));
        EXPECT_TRUE(IsWindowEnabled(second.get()));
        EXPECT_FALSE(IsWindowEnabled(alreadyDisabled.get()));
    }
};

TEST_F(ShellFolderBrowserTest, YieldsTheChosenDirectory) {
    ASSERT_TRUE(owner && second && alreadyDisabled);
    // ASCII: under the harness's locale Wine can't make other file names.
    const auto chosen = scratch.Path() / L"Apache Tomcat 6";
    std::filesystem::create_directories(chosen);
    const UINT modeBefore = GetErrorMode();
    std::atomic<bool> confirmed{false};
    auto driver = Driver([&](HWND browser) { confirmed = test::ChooseFolder(browser, chosen.wstring()); });

    win32::ShellFolderBrowser browser(owner.get());
    const auto path = browser.PickFolder("选择 Java JDK 安装根目录");
    driver.join();

    EXPECT_TRUE(confirmed);
    ASSERT_TRUE(path);
    EXPECT_EQ(Folded(win32::Widen(*path)), Folded(chosen.wstring()));
    EXPECT_EQ(instruction, L"选择 Java JDK 安装根目录");
    ExpectOursGivenBack(modeBefore);
}

TEST_F(ShellFolderBrowserTest, YieldsNothingOnCancel) {
    ASSERT_TRUE(owner && second && alreadyDisabled);
    const UINT modeBefore = GetErrorMode();
    auto driver = Driver([](HWND browser) { test::CancelFolderBrowser(browser); });

    win32::ShellFolderBrowser browser(owner.get());
    EXPECT_EQ(browser.PickFolder("选择 Apache Tomcat 安装根目录"), std::nullopt);
    driver.join();
    ExpectOursGivenBack(modeBefore);
}

}  // namespace
}  // namespace qm

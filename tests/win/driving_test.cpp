// The window-driving helpers against a fixture program of our own
// (qm_fixture_window.exe), started under Wine as the end-to-end tests start
// the real program.
#include "support/lib/controls.h"
#include "support/lib/folder_browser.h"
#include "support/lib/message_box.h"
#include "support/lib/screenshot.h"
#include "support/lib/started_program.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cwctype>

namespace qm::test {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr wchar_t kFixtureClass[] = L"QmFixtureWindow";
constexpr wchar_t kFixtureCaption[] = L"驱动测试";
constexpr int kDoneButtonId = 1001;
constexpr int kDisabledButtonId = 1002;
constexpr int kEditId = 1003;
constexpr int kCityComboId = 1101;
constexpr int kCityLabelId = 1102;

std::wstring FixturePath() { return SiblingProgramPath(L"qm_fixture_window.exe"); }

std::wstring Upper(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// ---------------------------------------------------------------- processes

TEST(DrivingProgramTest, ReportsTheExitCode) {
    auto program = StartedProgram::Start(FixturePath(), ProgramOptions().Argument(L"--exit-code=7"));
    ASSERT_TRUE(program) << "error " << program.StartError();
    EXPECT_EQ(program.WaitForExit(10s), 7u);
    EXPECT_FALSE(program.IsRunning());
}

TEST(DrivingProgramTest, ReportsWhyAProgramDidNotStart) {
    auto program = StartedProgram::Start(SiblingProgramPath(L"no_such_program.exe"));
    EXPECT_FALSE(program);
    EXPECT_EQ(program.StartError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(program.WaitForExit(10ms), std::nullopt);
}

TEST(DrivingProgramTest, EndsTheProgramWhenItGoesOutOfScope) {
    win32::UniqueKernelHandle watched;
    {
        auto program = StartedProgram::Start(FixturePath());
        ASSERT_TRUE(program);
        ASSERT_TRUE(WaitForTopLevelWindow(program.ProcessId(), {kFixtureClass, std::nullopt}));
        watched.reset(OpenProcess(SYNCHRONIZE, FALSE, program.ProcessId()));
        ASSERT_TRUE(watched);
    }
    EXPECT_EQ(WaitForSingleObject(watched.get(), 5000), WAIT_OBJECT_0);
}

TEST(DrivingProgramTest, WaitForExitGivesNothingWhileTheProgramRuns) {
    auto program = StartedProgram::Start(FixturePath());
    ASSERT_TRUE(program);
    EXPECT_EQ(program.WaitForExit(50ms), std::nullopt);
    EXPECT_TRUE(program.IsRunning());
    program.Terminate(3);
    EXPECT_EQ(program.WaitForExit(5s), 3u);
}

TEST(DrivingProgramTest, PassesASetVariable) {
    const std::wstring javaHome = L"C:\\Program Files\\Java\\jdk 中文";
    auto program = StartedProgram::Start(
        FixturePath(), ProgramOptions().Argument(L"--show-java-home").SetVariable(L"JAVA_HOME", javaHome));
    ASSERT_TRUE(program);
    HWND window = WaitForTopLevelWindow(program.ProcessId(), {kFixtureClass, kFixtureCaption});
    ASSERT_TRUE(window);
    EXPECT_EQ(ReadWindowText(FindChildById(window, kEditId)), javaHome);
}

TEST(DrivingProgramTest, RemovesAVariableWeHave) {
    // Removed under another spelling: environment names ignore case.
    SetEnvironmentVariableW(L"JAVA_HOME", L"C:\\ours");
    auto program = StartedProgram::Start(FixturePath(),
                                         ProgramOptions().Argument(L"--show-java-home").RemoveVariable(L"java_home"));
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);
    ASSERT_TRUE(program);
    HWND window = WaitForTopLevelWindow(program.ProcessId(), {kFixtureClass, std::nullopt});
    ASSERT_TRUE(window);
    EXPECT_EQ(ReadWindowText(FindChildById(window, kEditId)), L"<unset>");
}

TEST(DrivingProgramTest, HandsOverTheShowCommand) {
    auto program = StartedProgram::Start(FixturePath(), ProgramOptions().ShowCommand(SW_SHOWMINNOACTIVE));
    ASSERT_TRUE(program);
    HWND window = WaitForTopLevelWindow(program.ProcessId(), {kFixtureClass, std::nullopt});
    ASSERT_TRUE(window);
    EXPECT_TRUE(IsIconic(window));
}

TEST(DrivingProgramTest, QuotesArgumentsAsTheRuntimeSplitsThem) {
    EXPECT_EQ(QuoteArgument(L"plain"), L"plain");
    EXPECT_EQ(QuoteArgument(L""), L"\"\"");
    EXPECT_EQ(QuoteArgument(L"C:\\Program Files\\"), L"\"C:\\Program Files\\\\\"");
    EXPECT_EQ(QuoteArgument(L"say \"hi\""), L"\"say \\\"hi\\\"\"");
    EXPECT_EQ(QuoteArgument(L"C:\\no\\space"), L"C:\\no\\space");
}

TEST(DrivingProgramTest, EnvironmentChangesReplaceWhateverSpellingWeInherited) {
    SetEnvironmentVariableW(L"Qm_Driving_Probe", L"old");
    const std::wstring block =
        BuildEnvironmentBlock({{L"QM_DRIVING_PROBE", L"new"}, {L"QM_DRIVING_GONE", std::nullopt}});
    SetEnvironmentVariableW(L"Qm_Driving_Probe", nullptr);
    EXPECT_THAT(block, HasSubstr(std::wstring(L"\0QM_DRIVING_PROBE=new\0", 22)));
    EXPECT_EQ(block.find(L"=old"), std::wstring::npos);
    EXPECT_EQ(block.find(L"QM_DRIVING_GONE"), std::wstring::npos);
    EXPECT_EQ(block.substr(block.size() - 2), std::wstring(L"\0\0", 2));
}

// ---------------------------------------------------------------- windows

class DrivingFixtureTest : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = StartedProgram::Start(FixturePath());
        ASSERT_TRUE(program_) << "error " << program_.StartError();
        window_ = WaitForTopLevelWindow(program_.ProcessId(), {kFixtureClass, kFixtureCaption});
        ASSERT_TRUE(window_) << "no fixture window";
        tab_ = FindChildWindow(window_, {L"SysTabControl32", std::nullopt});
        ASSERT_TRUE(tab_);
    }

    DWORD ProcessId() const { return program_.ProcessId(); }

    StartedProgram program_;
    HWND window_ = nullptr;
    HWND tab_ = nullptr;
};

class DrivingWindowTest : public DrivingFixtureTest {};

TEST_F(DrivingWindowTest, FindsTheProgramsWindowByClassOrCaption) {
    EXPECT_EQ(FindTopLevelWindow(ProcessId(), {std::nullopt, kFixtureCaption}), window_);
    EXPECT_EQ(FindTopLevelWindow(ProcessId(), {kFixtureClass, std::nullopt}), window_);
    EXPECT_EQ(FindTopLevelWindow(ProcessId(), {kFixtureClass, L"另一个"}), nullptr);
    EXPECT_EQ(FindTopLevelWindow(GetCurrentProcessId(), {kFixtureClass, std::nullopt}), nullptr);
    EXPECT_THAT(TopLevelWindows(ProcessId()), ::testing::Contains(window_));
}

TEST_F(DrivingWindowTest, DescribesAChildControl) {
    HWND button = FindChildWindow(window_, {L"Button", L"完成"});
    ASSERT_TRUE(button);
    const WindowInfo info = DescribeWindow(button);
    EXPECT_EQ(info.className, L"Button");
    EXPECT_EQ(info.text, L"完成");
    EXPECT_EQ(info.controlId, kDoneButtonId);
    EXPECT_EQ(ClassNameOf(info.parent), L"QmFixturePage");
    EXPECT_EQ(info.rectInParent.left, 16);
    EXPECT_EQ(info.rectInParent.top, 16);
    EXPECT_EQ(info.rectInParent.right - info.rectInParent.left, 90);
    EXPECT_EQ(info.rectInParent.bottom - info.rectInParent.top, 26);
    EXPECT_EQ(info.screenRect.right - info.screenRect.left, 90);
    EXPECT_EQ(info.clientSize.cx, 90);
    EXPECT_TRUE(info.style & WS_TABSTOP);
    EXPECT_TRUE(info.enabled);
    EXPECT_TRUE(info.visible);
}

TEST_F(DrivingWindowTest, TellsDisabledAndHiddenControls) {
    const WindowInfo disabled = DescribeWindow(FindChildById(window_, kDisabledButtonId));
    EXPECT_EQ(disabled.text, L"禁用");
    EXPECT_FALSE(disabled.enabled);
    EXPECT_TRUE(disabled.style & WS_DISABLED);
    // The second page's controls exist but are hidden until their page is shown.
    EXPECT_FALSE(DescribeWindow(FindChildById(window_, kCityComboId)).visible);
}

TEST_F(DrivingWindowTest, EnumeratesEveryControlBelowTheWindow) {
    std::vector<std::wstring> classes;
    for (const auto& child : DescribeChildWindows(window_)) classes.push_back(child.className);
    EXPECT_THAT(classes, ::testing::IsSupersetOf(
                             {L"SysTabControl32", L"QmFixturePage", L"Button", L"Edit", L"ComboBox", L"Static"}));
    EXPECT_GE(classes.size(), 9u);
}

TEST_F(DrivingWindowTest, ReadsAndWritesAnEditOfAnotherProcess) {
    HWND edit = FindChildById(window_, kEditId);
    ASSERT_TRUE(SetEditText(edit, L"C:\\新的 路径"));
    EXPECT_EQ(ReadWindowText(edit), L"C:\\新的 路径");
}

// ---------------------------------------------------------------- tabs

class DrivingTabTest : public DrivingFixtureTest {};

TEST_F(DrivingTabTest, ReadsThePageCaptions) {
    EXPECT_EQ(TabCount(tab_), 2);
    EXPECT_THAT(TabCaptions(tab_), ElementsAre(L"常规", L"城市"));
    EXPECT_EQ(CurrentTab(tab_), 0);
    const auto rect = TabItemRect(tab_, 1);
    ASSERT_TRUE(rect);
    EXPECT_GT(rect->right, rect->left);
    EXPECT_FALSE(TabItemRect(tab_, 5));
    EXPECT_FALSE(SelectTab(tab_, 5, 100ms));
}

TEST_F(DrivingTabTest, SwitchesPagesAndTheProgramHears) {
    ASSERT_TRUE(SelectTab(tab_, 1));
    EXPECT_EQ(CurrentTab(tab_), 1);
    // The program shows the page on TCN_SELCHANGE, so this proves the notification arrived.
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(FindChildById(window_, kCityComboId)) != FALSE; }, 5s));
    EXPECT_FALSE(IsWindowVisible(FindChildById(window_, kDoneButtonId)));
    ASSERT_TRUE(SelectTab(tab_, 0));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(FindChildById(window_, kDoneButtonId)) != FALSE; }, 5s));
}

// ---------------------------------------------------------------- buttons and message boxes

class DrivingMessageBoxTest : public DrivingFixtureTest {};

TEST_F(DrivingMessageBoxTest, ReadsAndAnswersTheBoxAClickOpens) {
    EXPECT_TRUE(NoMessageBoxOpen(ProcessId()));
    ASSERT_TRUE(ClickButton(window_, L"完成"));
    HWND box = WaitForMessageBox(ProcessId());
    ASSERT_TRUE(box);
    const MessageBoxInfo info = ReadMessageBox(box);
    EXPECT_EQ(info.owner, window_);
    EXPECT_EQ(info.caption, L"提示");
    EXPECT_EQ(info.text, L"已完成!");
    EXPECT_NE(info.icon, MessageBoxIcon::None);
    RecordProperty("icon", std::string(info.icon == MessageBoxIcon::Information ? "information" : "other"));
    EXPECT_EQ(info.buttons.size(), 1u);
    EXPECT_FALSE(IsFolderBrowser(box));
    EXPECT_FALSE(NoMessageBoxOpen(ProcessId()));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(NoMessageBoxOpen(ProcessId()));
}

TEST_F(DrivingMessageBoxTest, TellsWhichIconEachBoxShows) {
    std::vector<MessageBoxIcon> icons;
    for (const wchar_t* button : {L"完成", L"出错", L"询问"}) {
        ASSERT_TRUE(ClickButton(window_, button));
        HWND box = WaitForMessageBox(ProcessId());
        ASSERT_TRUE(box);
        icons.push_back(ReadMessageBox(box).icon);
        ASSERT_TRUE(AnswerMessageBox(box, ReadMessageBox(box).buttons.size() > 1 ? IDNO : IDOK));
    }
    if (ScreenHasPixels()) {
        EXPECT_THAT(icons, ElementsAre(MessageBoxIcon::Information, MessageBoxIcon::Error, MessageBoxIcon::Question));
    } else {
        // Under Wine's null driver each process has its own icon handles and no
        // pixels show them: an icon is there, which one cannot be told.
        EXPECT_THAT(icons, ::testing::Each(MessageBoxIcon::Unrecognised));
    }
}

TEST_F(DrivingMessageBoxTest, AnswersAQuestionWithTheChosenButton) {
    HWND edit = FindChildById(window_, kEditId);
    for (int answer : {IDYES, IDNO}) {
        ASSERT_TRUE(ClickButton(window_, L"询问"));
        HWND box = WaitForMessageBox(ProcessId());
        ASSERT_TRUE(box);
        const MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(info.caption, L"询问");
        EXPECT_EQ(info.text, L"继续吗?");
        EXPECT_EQ(info.buttons.size(), 2u);
        ASSERT_TRUE(AnswerMessageBox(box, answer));
        const std::wstring expected = answer == IDYES ? L"yes" : L"no";
        EXPECT_TRUE(WaitUntil([&] { return ReadWindowText(edit) == expected; }, 5s));
    }
}

TEST_F(DrivingMessageBoxTest, AnswersByButtonCaption) {
    ASSERT_TRUE(ClickButton(window_, L"询问"));
    HWND box = WaitForMessageBox(ProcessId());
    ASSERT_TRUE(box);
    // The captions are the system's, in its language: take them from the box.
    const auto buttons = ReadMessageBox(box).buttons;
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_FALSE(AnswerMessageBox(box, L"没有这个按钮", 100ms));
    EXPECT_TRUE(AnswerMessageBox(box, buttons[1]));  // Yes, then No
    EXPECT_TRUE(WaitUntil([&] { return ReadWindowText(FindChildById(window_, kEditId)) == L"no"; }, 5s));
    EXPECT_TRUE(NoMessageBoxOpen(ProcessId()));
}

TEST_F(DrivingMessageBoxTest, ADisabledOrHiddenButtonIsNotClicked) {
    EXPECT_FALSE(PostClick(FindChildById(window_, kDisabledButtonId)));
    EXPECT_FALSE(ClickButton(window_, L"禁用"));
    EXPECT_FALSE(ClickButton(window_, L"浏览..."));  // on the page not shown
    // Posted messages arrive in order: had anything been posted to the
    // disabled button, its box ("不应出现") would come before this one.
    ASSERT_TRUE(ClickButton(window_, L"完成"));
    HWND box = WaitForMessageBox(ProcessId());
    ASSERT_TRUE(box);
    EXPECT_EQ(ReadMessageBox(box).text, L"已完成!");
    ASSERT_TRUE(AnswerMessageBox(box));
    EXPECT_TRUE(NoMessageBoxOpen(ProcessId()));
}

// ---------------------------------------------------------------- combo box

class DrivingComboTest : public DrivingFixtureTest {};

TEST_F(DrivingComboTest, ReadsTheItems) {
    HWND combo = FindChildById(window_, kCityComboId);
    EXPECT_EQ(ComboCount(combo), 4);
    EXPECT_THAT(ComboItems(combo), ElementsAre(L"北京", L"上海", L"广州", L"深圳"));
    EXPECT_EQ(ComboSelection(combo), CB_ERR);
}

TEST_F(DrivingComboTest, SelectingAnItemNotifiesTheProgram) {
    ASSERT_TRUE(SelectTab(tab_, 1));
    HWND combo = FindChildById(window_, kCityComboId);
    HWND label = FindChildById(window_, kCityLabelId);
    EXPECT_EQ(ReadWindowText(label), L"未选择");
    ASSERT_TRUE(SelectComboItem(combo, 1));
    EXPECT_EQ(ComboSelection(combo), 1);
    EXPECT_TRUE(WaitUntil([&] { return ReadWindowText(label) == L"上海"; }, 5s))
        << "label: " << ReadWindowText(label).size();
    EXPECT_FALSE(SelectComboItem(combo, 9));
}

// ---------------------------------------------------------------- folder browser

class DrivingFolderBrowserTest : public DrivingFixtureTest {};

TEST_F(DrivingFolderBrowserTest, ChoosesAFolder) {
    ASSERT_TRUE(SelectTab(tab_, 1));
    ASSERT_TRUE(ClickButton(window_, L"浏览..."));
    HWND browser = WaitForFolderBrowser(ProcessId());
    ASSERT_TRUE(browser);
    EXPECT_EQ(GetWindow(browser, GW_OWNER), window_);
    EXPECT_EQ(FolderBrowserInstruction(browser), L"请选择目录");
    EXPECT_TRUE(NoMessageBoxOpen(ProcessId()));  // a browser is no message box
    ASSERT_TRUE(ChooseFolder(browser, L"C:\\windows\\system32"));
    HWND edit = FindChildById(window_, kEditId);
    EXPECT_TRUE(WaitUntil([&] { return Upper(ReadWindowText(edit)) == L"C:\\WINDOWS\\SYSTEM32"; }, 5s))
        << "edit has " << ReadWindowText(edit).size() << " characters";
}

TEST_F(DrivingFolderBrowserTest, CancelsTheBrowser) {
    ASSERT_TRUE(SelectTab(tab_, 1));
    ASSERT_TRUE(ClickButton(window_, L"浏览..."));
    HWND browser = WaitForFolderBrowser(ProcessId());
    ASSERT_TRUE(browser);
    ASSERT_TRUE(CancelFolderBrowser(browser));
    HWND edit = FindChildById(window_, kEditId);
    EXPECT_TRUE(WaitUntil([&] { return ReadWindowText(edit) == L"<cancelled>"; }, 5s));
}

// ---------------------------------------------------------------- screenshots

std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

class DrivingScreenshotTest : public DrivingFixtureTest {};

TEST_F(DrivingScreenshotTest, FailsWithAReasonWhenTheDisplayHasNoPixels) {
    if (ScreenHasPixels()) GTEST_SKIP() << "this display driver has pixels";
    const CaptureResult result = CaptureScreen(TempFile(L"qm_driving_screen.bmp"));
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.failure.empty());
    EXPECT_FALSE(CaptureWindow(window_, TempFile(L"qm_driving_window.bmp")));
}

TEST_F(DrivingScreenshotTest, SavesTheScreenAndOneWindowAsBmp) {
    if (!ScreenHasPixels()) GTEST_SKIP() << "the display driver has no pixels (Wine's null driver)";
    const std::wstring screenFile = TempFile(L"qm_driving_screen.bmp");
    const std::wstring windowFile = TempFile(L"qm_driving_window.bmp");
    ASSERT_TRUE(CaptureScreen(screenFile)) << CaptureScreen(screenFile).failure;
    const CaptureResult window = CaptureWindow(window_, windowFile);
    ASSERT_TRUE(window) << window.failure;

    win32::UniqueFileHandle file(
        CreateFileW(windowFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    BITMAPFILEHEADER header{};
    BITMAPINFOHEADER info{};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file.get(), &header, sizeof(header), &read, nullptr));
    ASSERT_TRUE(ReadFile(file.get(), &info, sizeof(info), &read, nullptr));
    RECT rect{};
    GetWindowRect(window_, &rect);
    EXPECT_EQ(header.bfType, 0x4D42);
    EXPECT_EQ(info.biWidth, rect.right - rect.left);
    EXPECT_EQ(info.biHeight, rect.bottom - rect.top);
    EXPECT_EQ(GetFileSize(file.get(), nullptr), header.bfSize);
}

}  // namespace
}  // namespace qm::test

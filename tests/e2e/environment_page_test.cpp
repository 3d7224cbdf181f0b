// The two "更换安装目录" buttons, driven through the real folder browser, with
// their effects on the machine environment key and on the Tomcat page.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "e2e/quillmate_session.h"
#include "platform/win32/unique_handle.h"
#include "support/lib/controls.h"
#include "support/lib/folder_browser.h"
#include "support/lib/message_box.h"
#include "support/lib/processes.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
constexpr wchar_t kEnvironmentKey[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";

struct RegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

std::optional<RegistryValue> ReadMachineVariable(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    const win32::UniqueRegistryKey owned(key);
    RegistryValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(size);
    RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
    return value;
}

void WriteMachineVariable(const wchar_t* name, const std::optional<RegistryValue>& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    const win32::UniqueRegistryKey owned(key);
    if (value)
        RegSetValueExW(key, name, 0, value->type, value->data.data(), static_cast<DWORD>(value->data.size()));
    else
        RegDeleteValueW(key, name);
}

RegistryValue ExpandString(const std::wstring& text) {
    RegistryValue value{REG_EXPAND_SZ, {}};
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    return value;
}

// Puts the machine's two variables back as they were, whatever the test did.
class MachineVariablesRestored {
public:
    MachineVariablesRestored()
        : java_(ReadMachineVariable(L"JAVA_HOME")), catalina_(ReadMachineVariable(L"CATALINA_HOME")) {}
    ~MachineVariablesRestored() {
        WriteMachineVariable(L"JAVA_HOME", java_);
        WriteMachineVariable(L"CATALINA_HOME", catalina_);
    }

private:
    std::optional<RegistryValue> java_, catalina_;
};

class EnvironmentPage : public ::testing::Test {
protected:
    void SetUp() override {
        session_.emplace(
            QuillmateSession::Start(WithInstallations(L"C:\\old-jdk", scratch_.Path().wstring() + L"\\old-tomcat")));
        ASSERT_TRUE(SelectTab(session_->Control("PageControl1"), 2));
    }
    HWND OpenBrowser(const char* button) {
        if (!PostClick(session_->Control(button))) return nullptr;
        return WaitForFolderBrowser(session_->ProcessId());
    }
    MachineVariablesRestored restored_;
    ScratchDirectory scratch_;
    std::optional<QuillmateSession> session_;
};

TEST_F(EnvironmentPage, ChoosingAJavaDirectoryMakesItTheMachineWideJavaHome) {
    const fs::path jdk = scratch_.Path() / "jdk1.6.0_45";
    fs::create_directories(jdk);
    WriteMachineVariable(L"JAVA_HOME", RegistryValue{REG_SZ, {'x', 0, 0, 0}});  // a REG_SZ becomes REG_EXPAND_SZ

    const HWND browser = OpenBrowser("cxButton11");
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(FolderBrowserInstruction(browser), L"选择 Java JDK 安装根目录");
    EXPECT_FALSE(IsWindowEnabled(session_->MainWindow())) << "the window must be disabled under the browser";
    ASSERT_TRUE(ChooseFolder(browser, jdk.wstring()));

    const HWND box = WaitForMessageBox(session_->ProcessId());
    ASSERT_NE(box, nullptr);
    const MessageBoxInfo info = ReadMessageBox(box);
    EXPECT_EQ(info.caption, L"提示");
    EXPECT_EQ(info.text, L"修改成功!");
    ASSERT_TRUE(AnswerMessageBox(box));

    EXPECT_TRUE(WaitUntil([&] { return ReadWindowText(session_->Control("JavaHomeEdit")) == jdk.wstring(); }));
    const auto stored = ReadMachineVariable(L"JAVA_HOME");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(stored->data, ExpandString(jdk.wstring()).data);  // the text and one NUL
    EXPECT_TRUE(IsWindowEnabled(session_->MainWindow()));
}

TEST_F(EnvironmentPage, TheTomcatPageUsesTheNewCatalinaHomeAtItsNextClick) {
    const fs::path tomcat = scratch_.Path() / "apache-tomcat-6.0.53";
    CreateFileWithText(tomcat / "work" / "Catalina" / "localhost" / "x.class");
    CreateFileWithText(scratch_.Path() / "old-tomcat" / "work" / "Catalina" / "y.class");
    const std::wstring portBefore = ReadWindowText(session_->Control("TomcatPort"));

    const HWND browser = OpenBrowser("cxButton12");
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(FolderBrowserInstruction(browser), L"选择 Apache Tomcat 安装根目录");
    ASSERT_TRUE(ChooseFolder(browser, tomcat.wstring()));
    const HWND box = WaitForMessageBox(session_->ProcessId());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadMessageBox(box).text, L"修改成功!");
    ASSERT_TRUE(AnswerMessageBox(box));
    EXPECT_TRUE(WaitUntil([&] { return ReadWindowText(session_->Control("TomcatHomeEdit")) == tomcat.wstring(); }));
    EXPECT_EQ(ReadWindowText(session_->Control("TomcatPort")), portBefore);

    ASSERT_TRUE(SelectTab(session_->Control("PageControl1"), 0));
    ASSERT_TRUE(PostClick(session_->Control("cxButton7")));
    const HWND cleared = WaitForMessageBox(session_->ProcessId(), std::chrono::seconds(20));
    ASSERT_NE(cleared, nullptr);
    EXPECT_EQ(ReadMessageBox(cleared).text, L"已删除临时文件!");
    AnswerMessageBox(cleared);
    EXPECT_FALSE(fs::exists(tomcat / "work" / "Catalina"));
    EXPECT_TRUE(fs::exists(scratch_.Path() / "old-tomcat" / "work" / "Catalina" / "y.class"));
}

TEST_F(EnvironmentPage, CancelChangesNothingAndShowsNothing) {
    const auto before = ReadMachineVariable(L"JAVA_HOME");
    const HWND browser = OpenBrowser("cxButton11");
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(CancelFolderBrowser(browser));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(session_->MainWindow()) != FALSE; }));
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
    EXPECT_EQ(ReadWindowText(session_->Control("JavaHomeEdit")), L"C:\\old-jdk");
    const auto after = ReadMachineVariable(L"JAVA_HOME");
    EXPECT_EQ(after.has_value(), before.has_value());
    if (after && before) {
        EXPECT_EQ(after->data, before->data);
    }
}

TEST_F(EnvironmentPage, AValueOfAnotherTypeIsRefusedAndTheEditKeepsItsText) {
    const DWORD number = 42;
    RegistryValue dword{REG_DWORD, {}};
    dword.data.assign(reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + sizeof number);
    WriteMachineVariable(L"CATALINA_HOME", dword);
    const fs::path tomcat = scratch_.Path() / "tomcat";
    fs::create_directories(tomcat);

    const HWND browser = OpenBrowser("cxButton12");
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(ChooseFolder(browser, tomcat.wstring()));
    const HWND box = WaitForMessageBox(session_->ProcessId());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ReadMessageBox(box).text, L"Invalid data type for 'CATALINA_HOME'");
    ASSERT_TRUE(AnswerMessageBox(box));
    // Answered once the handler is back in the message loop.
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutW(session_->MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer), 0);
    EXPECT_EQ(ReadWindowText(session_->Control("TomcatHomeEdit")), scratch_.Path().wstring() + L"\\old-tomcat");
    const auto stored = ReadMachineVariable(L"CATALINA_HOME");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored->data, dword.data);
}

}  // namespace
}  // namespace qm::test

// The machine environment key, the process environment and the broadcast,
// against the real ones of the test prefix. Values are given names of the
// test's own, so JAVA_HOME and CATALINA_HOME of the prefix stay untouched.
#include "platform/win32/broadcast_win.h"
#include "platform/win32/environment_win.h"
#include "platform/win32/registry_win.h"
#include "platform/win32/wide_text.h"
#include "support/lib/wait.h"
#include "tomcat/environment_settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace qm {
namespace {

constexpr wchar_t kKeyPath[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

std::optional<RawValue> ReadRaw(const std::wstring& name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKeyPath, name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    RawValue value{type, std::vector<BYTE>(size)};
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKeyPath, name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, value.data.data(),
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

std::vector<BYTE> BytesOf(const std::wstring& text) {
    const auto* first = reinterpret_cast<const BYTE*>(text.c_str());
    return {first, first + (text.size() + 1) * sizeof(wchar_t)};
}

class MachineEnvironmentKeyTest : public ::testing::Test {
protected:
    std::wstring name = L"QM_TEST_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount64());
    std::string nameText = win32::Narrow(name);
    win32::MachineEnvironmentRegistry machine;

    void TearDown() override {
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKeyPath, name.c_str());
        SetEnvironmentVariableW(name.c_str(), nullptr);
    }
    void PutDword(DWORD number) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKeyPath, name.c_str(), REG_DWORD, &number, sizeof number),
                  ERROR_SUCCESS);
    }
};

TEST_F(MachineEnvironmentKeyTest, WritesTheTextAndOneNulAsExpandableString) {
    auto key = machine.OpenOrCreateKey();
    ASSERT_TRUE(key);
    EXPECT_EQ(key->Query(nameText), std::nullopt);
    ASSERT_TRUE(key->WriteExpandString(nameText, "C:\\Program Files\\中文\\jdk"));
    key.reset();

    const auto stored = ReadRaw(name);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(stored->data, BytesOf(L"C:\\Program Files\\中文\\jdk"));
}

TEST_F(MachineEnvironmentKeyTest, ReportsTheTypeAndSizeOfAnExistingValue) {
    PutDword(8080);
    auto key = machine.OpenOrCreateKey();
    ASSERT_TRUE(key);
    const auto info = key->Query(nameText);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->type, kRegistryDword);
    EXPECT_EQ(info->size, 4u);
    const auto read = key->Read(nameText, info->size);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->type, kRegistryDword);
    // A buffer too small for the data is a failing read.
    EXPECT_EQ(key->Read(nameText, 2), std::nullopt);
}

TEST_F(MachineEnvironmentKeyTest, SetEnvPathChangesRegistryAndEnvironment) {
    win32::CurrentProcessEnvironment process;
    win32::WindowBroadcast broadcast;
    EXPECT_EQ(tomcat::SetEnvPath({machine, process, broadcast}, nameText, "D:\\"), "修改成功!");
    const auto stored = ReadRaw(name);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(stored->data, BytesOf(L"D:\\"));
    EXPECT_EQ(process.Get(nameText), "D:\\");
}

TEST_F(MachineEnvironmentKeyTest, SetEnvPathLeavesANumberAlone) {
    PutDword(7);
    win32::CurrentProcessEnvironment process;
    win32::WindowBroadcast broadcast;
    EXPECT_EQ(tomcat::SetEnvPath({machine, process, broadcast}, nameText, "C:\\jdk"),
              "Invalid data type for '" + nameText + "'");
    const auto stored = ReadRaw(name);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(process.Get(nameText), "");
}

// --- The process environment ------------------------------------------------------

TEST(CurrentProcessEnvironment, SetsAndReadsVariablesOfAnyLength) {
    win32::CurrentProcessEnvironment environment;
    const std::string name = "QM_TEST_VARIABLE_" + std::to_string(GetCurrentProcessId());
    EXPECT_EQ(environment.Get(name), "");
    environment.Set(name, "C:\\汤姆猫\\tomcat");
    EXPECT_EQ(environment.Get(name), "C:\\汤姆猫\\tomcat");
    const std::string longValue(1000, 'x');
    environment.Set(name, longValue);
    EXPECT_EQ(environment.Get(name), longValue);
    wchar_t seen[8];
    EXPECT_EQ(GetEnvironmentVariableW(win32::Widen(name).c_str(), seen, 8), 1001u);
    SetEnvironmentVariableW(win32::Widen(name).c_str(), nullptr);
}

// --- The broadcast -----------------------------------------------------------------

// A top-level window on a thread that stops handling messages until released.
class HungWindow {
public:
    HungWindow() {
        thread_ = std::thread([this] {
            const HWND window = CreateWindowExW(0, L"STATIC", L"hung", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                                nullptr, nullptr, nullptr);
            created_ = window != nullptr;
            up_ = true;
            WaitForSingleObject(release_, 30000);
            if (window) DestroyWindow(window);
        });
        test::WaitUntil([this] { return up_.load(); });
    }
    ~HungWindow() {
        SetEvent(release_);
        thread_.join();
        CloseHandle(release_);
    }
    bool Created() const { return created_; }

private:
    HANDLE release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> up_{false};
    std::atomic<bool> created_{false};
    std::thread thread_;
};

TEST(WindowBroadcast, ReturnsPromptly) {
    win32::WindowBroadcast broadcast;
    const auto start = std::chrono::steady_clock::now();
    broadcast.EnvironmentChanged();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(WindowBroadcast, GivesUpOnAHungWindow) {
    HungWindow hung;
    ASSERT_TRUE(hung.Created());
    win32::WindowBroadcast broadcast;
    const auto start = std::chrono::steady_clock::now();
    broadcast.EnvironmentChanged();
    // About a second for the hung one, not the thirty it would hold us.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace qm

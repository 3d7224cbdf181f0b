// The SQL Server page with real services: a default and a named instance.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/quillmate_session.h"
#include "platform/win32/unique_handle.h"
#include "support/lib/controls.h"
#include "support/lib/message_box.h"
#include "support/lib/test_service_control.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

constexpr wchar_t kInstanceKey[] = L"SOFTWARE\\Microsoft\\Microsoft SQL Server\\Instance Names\\SQL";
constexpr auto kServiceBound = std::chrono::seconds(20);

// Instance names registered for one test, removed after it.
class RegisteredInstances {
public:
    explicit RegisteredInstances(std::vector<std::wstring> names) : names_(std::move(names)) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kInstanceKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            throw std::runtime_error("cannot create the instance key");
        key_.reset(key);
        for (const auto& name : names_) {
            const std::wstring data = L"MSSQL10." + name;
            RegSetValueExW(key_.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        }
    }
    ~RegisteredInstances() {
        for (const auto& name : names_) RegDeleteValueW(key_.get(), name.c_str());
    }

private:
    std::vector<std::wstring> names_;
    win32::UniqueRegistryKey key_;
};

class SqlPage : public ::testing::Test {
protected:
    void StartProgram() {
        session_.emplace(QuillmateSession::Start());
        ASSERT_TRUE(SelectTab(session_->Control("PageControl1"), 3));
    }
    HWND Combo() { return session_->Control("ServiceComboBox"); }
    HWND StartButton() { return session_->Control("cxButton13"); }
    HWND StopButton() { return session_->Control("cxButton14"); }
    bool ButtonsAre(bool start, bool stop) {
        return (IsWindowEnabled(StartButton()) != FALSE) == start && (IsWindowEnabled(StopButton()) != FALSE) == stop;
    }
    void Pick(const std::wstring& instance) {
        const auto items = ComboItems(Combo());
        const auto at = std::find(items.begin(), items.end(), instance);
        ASSERT_NE(at, items.end()) << "not listed";
        ASSERT_TRUE(SelectComboItem(Combo(), static_cast<int>(at - items.begin())));
    }
    // Waits for the box, checks it is an information box with this text and
    // that the buttons have not changed yet, answers it.
    void ExpectBox(const std::wstring& text, bool startBefore, bool stopBefore) {
        const HWND box = WaitForMessageBox(session_->ProcessId(), kServiceBound);
        ASSERT_NE(box, nullptr) << "no box";
        const MessageBoxInfo info = ReadMessageBox(box);
        EXPECT_EQ(info.caption, L"提示");
        EXPECT_EQ(info.text, text);
        EXPECT_NE(info.icon, MessageBoxIcon::None);
        EXPECT_TRUE(ButtonsAre(startBefore, stopBefore)) << "buttons changed before the box was closed";
        EXPECT_TRUE(AnswerMessageBox(box));
    }
    std::optional<QuillmateSession> session_;
};

TEST_F(SqlPage, StartsAndStopsTheDefaultAndANamedInstance) {
    RegisteredInstances instances({L"MSSQLSERVER", L"SQLEXPRESS"});
    RegisteredTestService defaultService({.startDelayMs = 1500}, RegisteredTestService::ExactName{L"MSSQLSERVER"});
    RegisteredTestService namedService({.stopDelayMs = 1500}, RegisteredTestService::ExactName{L"MSSQL$SQLEXPRESS"});
    StartProgram();

    auto items = ComboItems(Combo());
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::wstring>{L"MSSQLSERVER", L"SQLEXPRESS"}));
    EXPECT_EQ(ComboSelection(Combo()), -1);
    EXPECT_TRUE(ButtonsAre(false, false));

    for (const auto* instance : {L"MSSQLSERVER", L"SQLEXPRESS"}) {
        SCOPED_TRACE(std::string(instance, instance + wcslen(instance)));
        RegisteredTestService& service = std::wstring(instance) == L"MSSQLSERVER" ? defaultService : namedService;
        Pick(instance);
        ASSERT_TRUE(WaitUntil([&] { return ButtonsAre(true, false); }));
        EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));

        PostClick(StartButton());
        ExpectBox(L"【" + std::wstring(instance) + L"】服务已启动!", true, false);
        EXPECT_TRUE(WaitUntil([&] { return ButtonsAre(false, true); }));
        EXPECT_EQ(service.State(), std::optional<DWORD>(SERVICE_RUNNING));

        PostClick(StopButton());
        ExpectBox(L"【" + std::wstring(instance) + L"】服务已停止!", false, true);
        EXPECT_TRUE(WaitUntil([&] { return ButtonsAre(true, false); }));
        EXPECT_EQ(service.State(), std::optional<DWORD>(SERVICE_STOPPED));
    }
}

TEST_F(SqlPage, PickingARunningInstanceEnablesStopOnlyAndAMissingServiceIsReported) {
    RegisteredInstances instances({L"QMRUNNING", L"QMGHOST"});
    RegisteredTestService running({}, RegisteredTestService::ExactName{L"MSSQL$QMRUNNING"});
    ASSERT_TRUE(running.StartAndWaitUntilRunning());
    StartProgram();

    Pick(L"QMRUNNING");
    EXPECT_TRUE(WaitUntil([&] { return ButtonsAre(false, true); }));

    // No service behind the instance: the query's answer is shown as it is,
    // and the buttons stay as the last pick left them.
    Pick(L"QMGHOST");
    ExpectBox(L"Can not open the service(MSSQL$QMGHOST)", false, true);
    EXPECT_TRUE(ButtonsAre(false, true));
}

// A pick while a start waits is no action of its own: the list goes back to
// the instance being started, and the buttons end as that start leaves them.
TEST_F(SqlPage, APickDuringAStartsWaitIsUndone) {
    RegisteredInstances instances({L"QMSLOW", L"QMOTHER"});
    RegisteredTestService slow({.startDelayMs = 4000}, RegisteredTestService::ExactName{L"MSSQL$QMSLOW"});
    StartProgram();
    Pick(L"QMSLOW");
    ASSERT_TRUE(WaitUntil([&] { return ButtonsAre(true, false); }));
    const int slowIndex = ComboSelection(Combo());
    const int otherIndex = 1 - slowIndex;
    ASSERT_TRUE(PostClick(StartButton()));
    ASSERT_TRUE(WaitUntil([&] { return slow.State() == std::optional<DWORD>(SERVICE_START_PENDING); }));

    // One send and one post: each message waits for the next pump of the wait.
    ASSERT_TRUE(SelectComboItem(Combo(), otherIndex));
    EXPECT_TRUE(WaitUntil([&] { return ComboSelection(Combo()) == slowIndex; }));
    EXPECT_EQ(slow.State(), std::optional<DWORD>(SERVICE_START_PENDING)) << "the pick came after the wait";
    // QMOTHER has no service: a pick that ran would say so in a box first.
    ExpectBox(L"【QMSLOW】服务已启动!", true, false);
    EXPECT_TRUE(WaitUntil([&] { return ButtonsAre(false, true); }));
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
}

TEST_F(SqlPage, AServiceThatFailsToStartIsReportedAndStartStaysEnabled) {
    RegisteredInstances instances({L"QMFAILING"});
    RegisteredTestService failing({.startDelayMs = 500, .failStart = true},
                                  RegisteredTestService::ExactName{L"MSSQL$QMFAILING"});
    StartProgram();
    Pick(L"QMFAILING");
    ASSERT_TRUE(WaitUntil([&] { return ButtonsAre(true, false); }));
    PostClick(StartButton());
    ExpectBox(L"【QMFAILING】服务启动失败!", true, false);
    EXPECT_TRUE(ButtonsAre(true, false));
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

// Closing the window while a start waits: the wait goes on, the handler
// reports, and only then does the program end, with exit code 0.
TEST_F(SqlPage, ClosingTheWindowDuringAWaitEndsTheProgramOnlyAfterTheHandler) {
    RegisteredInstances instances({L"QMSLOW"});
    RegisteredTestService slow({.startDelayMs = 2500}, RegisteredTestService::ExactName{L"MSSQL$QMSLOW"});
    StartProgram();
    Pick(L"QMSLOW");
    ASSERT_TRUE(WaitUntil([&] { return ButtonsAre(true, false); }));
    ASSERT_TRUE(PostClick(StartButton()));
    ASSERT_TRUE(WaitUntil([&] { return slow.State() == std::optional<DWORD>(SERVICE_START_PENDING); }));
    PostMessageW(session_->MainWindow(), WM_CLOSE, 0, 0);

    const HWND box = WaitForMessageBox(session_->ProcessId(), kServiceBound);
    ASSERT_NE(box, nullptr) << "the waiting handler did not get to report";
    EXPECT_EQ(ReadMessageBox(box).text, L"【QMSLOW】服务已启动!");
    EXPECT_TRUE(session_->Program().IsRunning());
    ASSERT_TRUE(AnswerMessageBox(box));
    EXPECT_EQ(session_->Program().WaitForExit(std::chrono::seconds(10)), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace qm::test

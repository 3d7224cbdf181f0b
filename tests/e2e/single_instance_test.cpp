// One running copy per session: what a second start does, with real processes.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <vector>

#include "e2e/quillmate_session.h"
#include "platform/win32/unique_handle.h"
#include "support/lib/controls.h"
#include "support/lib/message_box.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

constexpr wchar_t kSlotName[] = L"{CAF49BBB-AF40-4FDE-8757-51D5AEB58080}";
constexpr auto kSecondStartBound = std::chrono::seconds(10);

// The 32-bit value in the instance slot, or nullopt when there is no slot.
std::optional<LONG> ReadSlot() {
    win32::UniqueKernelHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, kSlotName));
    if (!mapping) return std::nullopt;
    win32::UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 4));
    if (!view) return std::nullopt;
    return *static_cast<const volatile LONG*>(view.get());
}

StartedProgram StartSecond(const ProgramOptions& options = {}) {
    return StartedProgram::Start(SiblingProgramPath(L"quillmate.exe"), options);
}

// Whether the process ever showed a main window while we watched it run.
bool ShowedAMainWindowBeforeExit(StartedProgram& program) {
    bool showed = false;
    WaitUntil(
        [&] {
            if (FindTopLevelWindow(program.ProcessId(), {L"TForm1", std::nullopt})) showed = true;
            return !program.IsRunning();
        },
        kSecondStartBound, std::chrono::milliseconds(1));
    return showed;
}

// Suspends every thread of a process for as long as it lives: a copy that
// no longer handles messages.
class FrozenProcess {
public:
    explicit FrozenProcess(DWORD processId) {
        win32::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
            if (entry.th32OwnerProcessID != processId) continue;
            win32::UniqueKernelHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
            if (thread && SuspendThread(thread.get()) != static_cast<DWORD>(-1)) threads_.push_back(std::move(thread));
        }
    }
    ~FrozenProcess() {
        for (auto& thread : threads_) ResumeThread(thread.get());
    }
    size_t ThreadCount() const { return threads_.size(); }

private:
    std::vector<win32::UniqueKernelHandle> threads_;
};

TEST(SingleInstance, FirstStartRegistersItsOwnerWindowInTheSlot) {
    QuillmateSession first = QuillmateSession::Start();
    ASSERT_NE(first.OwnerWindow(), nullptr);
    EXPECT_EQ(ReadSlot(), std::optional<LONG>(HandleToLong(first.OwnerWindow())));
}

TEST(SingleInstance, SecondStartShowsNothingEndsWithZeroAndBringsTheFirstForward) {
    QuillmateSession first = QuillmateSession::Start();
    // Someone else has the foreground when the second copy starts.
    StartedProgram other = StartedProgram::Start(SiblingProgramPath(L"qm_fixture_window.exe"));
    const HWND otherWindow = WaitForTopLevelWindow(other.ProcessId(), {std::nullopt, std::nullopt});
    ASSERT_NE(otherWindow, nullptr);
    SetForegroundWindow(otherWindow);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == otherWindow; }));

    StartedProgram second = StartSecond();
    EXPECT_FALSE(ShowedAMainWindowBeforeExit(second));
    EXPECT_EQ(second.WaitForExit(kSecondStartBound), std::optional<DWORD>(0));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == first.MainWindow(); }));
    EXPECT_EQ(ReadSlot(), std::optional<LONG>(HandleToLong(first.OwnerWindow())));
}

TEST(SingleInstance, SecondStartRestoresAMinimisedFirstOnTheSamePage) {
    QuillmateSession first = QuillmateSession::Start();
    ASSERT_TRUE(SelectTab(first.Control("PageControl1"), 3));
    ShowWindow(first.MainWindow(), SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(first.MainWindow()) != FALSE; }));

    StartedProgram second = StartSecond();
    EXPECT_EQ(second.WaitForExit(kSecondStartBound), std::optional<DWORD>(0));
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(first.MainWindow()) && IsWindowVisible(first.MainWindow()); }));
    EXPECT_EQ(CurrentTab(first.Control("PageControl1")), 3);
    EXPECT_TRUE(IsWindowVisible(first.Control("SQLTabSheet")));
}

TEST(SingleInstance, SecondStartEndsEvenWhenTheFirstNoLongerAnswers) {
    QuillmateSession first = QuillmateSession::Start();
    {
        FrozenProcess frozen(first.ProcessId());
        ASSERT_GT(frozen.ThreadCount(), 0u);
        StartedProgram second = StartSecond();
        EXPECT_EQ(second.WaitForExit(kSecondStartBound), std::optional<DWORD>(0));
    }
    EXPECT_EQ(first.Close(), std::optional<DWORD>(0));
}

TEST(SingleInstance, AfterTheFirstEndsTheNextStartIsAFirstStartAgain) {
    {
        QuillmateSession first = QuillmateSession::Start();
        ASSERT_EQ(first.Close(), std::optional<DWORD>(0));
    }
    // Nobody holds the mapping now, so it is gone with its stale handle.
    EXPECT_TRUE(WaitUntil([] { return !ReadSlot().has_value(); }));
    QuillmateSession next = QuillmateSession::Start();
    ASSERT_NE(next.MainWindow(), nullptr);
    EXPECT_EQ(ReadSlot(), std::optional<LONG>(HandleToLong(next.OwnerWindow())));
}

TEST(SingleInstance, AnotherKindOfObjectBearingTheNameLeavesTheGuardInactive) {
    win32::UniqueKernelHandle squatter(CreateEventW(nullptr, TRUE, FALSE, kSlotName));
    ASSERT_TRUE(squatter);
    QuillmateSession first = QuillmateSession::Start();
    ASSERT_NE(first.MainWindow(), nullptr);
    // With the guard inactive any number of copies run.
    QuillmateSession second = QuillmateSession::Start();
    EXPECT_NE(second.MainWindow(), nullptr);
    EXPECT_NE(second.ProcessId(), first.ProcessId());
}

}  // namespace
}  // namespace qm::test

namespace qm::test {
namespace {

TEST(SingleInstance, SecondStartBringsTheFirstsOpenBoxForwardNotItsDisabledWindow) {
    QuillmateSession first = QuillmateSession::Start(WithInstallations(L"", L""));
    // Without a Tomcat directory the clear button answers at once with a box.
    ASSERT_TRUE(PostClick(first.Control("cxButton7")));
    const HWND box = WaitForMessageBox(first.ProcessId());
    ASSERT_NE(box, nullptr);
    StartedProgram other = StartedProgram::Start(SiblingProgramPath(L"qm_fixture_window.exe"));
    const HWND otherWindow = WaitForTopLevelWindow(other.ProcessId(), {std::nullopt, std::nullopt});
    ASSERT_NE(otherWindow, nullptr);
    SetForegroundWindow(otherWindow);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == otherWindow; }));

    StartedProgram second = StartSecond();
    EXPECT_EQ(second.WaitForExit(kSecondStartBound), std::optional<DWORD>(0));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box; }));
    EXPECT_TRUE(AnswerMessageBox(box));
}

}  // namespace
}  // namespace qm::test

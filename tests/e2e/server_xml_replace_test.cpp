// server.xml of 2 MB through port changes, as Tomcat or an editor beside the
// program would see it: a reader looking at the file all the while always
// finds it there and whole, the old bytes or the new; the program killed at
// any moment of a save leaves it whole, and the next save clears what the
// killed one left behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/quillmate_session.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "support/lib/controls.h"
#include "support/lib/message_box.h"
#include "support/lib/processes.h"
#include "support/lib/wait.h"
#include "platform/file_replacer.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int kEnvironmentPage = 2;

// A Tomcat configuration grown to 2 MB by its web applications.
std::string LargeServerXml() {
    std::string text =
        "<?xml version='1.0' encoding='utf-8'?>\r\n"
        "<Server port=\"8005\" shutdown=\"SHUTDOWN\">\r\n"
        "  <Service name=\"Catalina\">\r\n"
        "    <Connector port=\"8080\" protocol=\"HTTP/1.1\" connectionTimeout=\"20000\" redirectPort=\"8443\" />\r\n"
        "    <Engine name=\"Catalina\" defaultHost=\"localhost\">\r\n"
        "      <Host name=\"localhost\" appBase=\"webapps\">\r\n";
    for (int i = 0; text.size() < 2 * 1024 * 1024; ++i) {
        const std::string n = std::to_string(i);
        text += "        <Context path=\"/app" + n + "\" docBase=\"D:/apps/app" + n + "\" reloadable=\"false\" />\r\n";
    }
    return text + "      </Host>\r\n    </Engine>\r\n  </Service>\r\n</Server>\r\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class ServerXmlReplace : public ::testing::Test {
protected:
    void SetUp() override { CreateFileWithText(ServerXml(), original_); }

    fs::path Conf() const { return scratch_.Path() / L"tomcat6" / L"conf"; }
    fs::path ServerXml() const { return Conf() / L"server.xml"; }
    std::string Contents() const { return ReadWholeFile(ServerXml()).value_or("<missing>"); }
    std::string ChangedTo(const std::string& port) const {
        return Replaced(Replaced(original_, "<?xml version='1.0' encoding='utf-8'?>",
                                 "<?xml version=\"1.0\" encoding=\"GB2312\"?>"),
                        "<Connector port=\"8080\"", "<Connector port=\"" + port + "\"");
    }
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Conf()))
            if (entry.path().filename() != L"server.xml")
                names.push_back(win32::Narrow(entry.path().filename().wstring()));
        return names;
    }

    void StartOnEnvironmentPage() {
        const std::wstring tomcat = (scratch_.Path() / L"tomcat6").wstring();
        session_.reset();
        session_.emplace(QuillmateSession::Start(WithInstallations((scratch_.Path() / L"jdk").wstring(), tomcat)));
        ASSERT_NE(session_->MainWindow(), nullptr);
        ASSERT_TRUE(SelectTab(session_->Control("PageControl1"), kEnvironmentPage));
    }
    void ClickChange(const std::string& port) {
        ASSERT_TRUE(SetEditText(session_->Control("TomcatPort"), win32::Widen(port)));
        ASSERT_TRUE(PostClick(session_->Control("btn_port")));
    }
    // A whole change: the click, the save, "修改成功!" answered.
    void Change(const std::string& port) {
        ClickChange(port);
        const HWND box = WaitForMessageBox(session_->ProcessId(), std::chrono::seconds(20));
        ASSERT_NE(box, nullptr) << "no confirmation of port " << port;
        ASSERT_TRUE(AnswerMessageBox(box));
        ASSERT_EQ(Contents(), ChangedTo(port));
    }

    const std::string original_ = LargeServerXml();
    ScratchDirectory scratch_;
    std::optional<QuillmateSession> session_;
};

// One look of a reader at the file, opened as a careful reader does: sharing
// everything, and held no longer than the read, since any open handle keeps
// a rename from replacing the file.
std::optional<std::string> Look(const fs::path& file, DWORD& error) {
    win32::UniqueFileHandle handle(CreateFileW(file.c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        error = GetLastError();
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size)) {
        error = GetLastError();
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart) + 1, '\0');
    DWORD read = 0;
    if (!ReadFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        error = GetLastError();
        return std::nullopt;
    }
    bytes.resize(read);
    return bytes;
}

TEST_F(ServerXmlReplace, AReaderAlwaysFindsTheFileWholeThroughRepeatedSaves) {
    StartOnEnvironmentPage();
    const std::vector<std::string> ports = {"9090", "8181", "9090", "8181"};
    const std::set<std::string> whole = {original_, ChangedTo("9090"), ChangedTo("8181")};

    const win32::UniqueKernelHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<long> looks = 0;
    long missing = 0, refused = 0, torn = 0;
    std::set<size_t> seen;  // which of the whole versions
    std::thread reader([&] {
        // A few milliseconds between looks, as a program polling a file would leave.
        while (WaitForSingleObject(stop.get(), 5) == WAIT_TIMEOUT) {
            DWORD error = 0;
            const std::optional<std::string> bytes = Look(ServerXml(), error);
            ++looks;
            if (!bytes) {
                ++(error == ERROR_FILE_NOT_FOUND ? missing : refused);
            } else if (const auto found = whole.find(*bytes); found == whole.end()) {
                ++torn;
            } else {
                seen.insert(static_cast<size_t>(std::distance(whole.begin(), found)));
            }
        }
    });
    {
        // Stops the reader however the saves end.
        const struct Joiner {
            HANDLE stop;
            std::thread& reader;
            ~Joiner() {
                SetEvent(stop);
                reader.join();
            }
        } joiner{stop.get(), reader};
        // Each version is looked at many times, however busy the machine:
        // the next save waits for ten more looks (bounded).
        const auto tenMoreLooks = [&] {
            const long wanted = looks + 10;
            test::WaitUntil([&] { return looks >= wanted; }, std::chrono::seconds(20));
        };
        tenMoreLooks();
        for (const std::string& port : ports) {
            Change(port);
            tenMoreLooks();
        }
    }
    if (HasFatalFailure()) return;

    std::cout << "reader: " << looks.load() << " looks, " << missing << " missing, " << refused << " refused, " << torn
              << " torn, " << seen.size() << " versions seen\n";
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(refused, 0);
    // The reader was looking, many times a save, while the file changed.
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_GE(looks.load(), static_cast<long>(10 * (ports.size() + 1)));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ServerXmlReplace, KilledAtAnyMomentOfASaveTheFileIsWholeAndTheNextSaveClearsUp) {
    // How long a save takes here, from the click to its confirmation: the
    // kills are spread over that.
    StartOnEnvironmentPage();
    const Clock::time_point clicked = Clock::now();
    Change("8181");
    const Clock::duration save = Clock::now() - clicked;

    // Most kills at moments spread over the save; the rest the moment the
    // new file is seen beside the old one, which is a short while of it.
    constexpr int kSpreadKills = 6;
    constexpr int kKillsBesideTheNewFile = 4;
    int oldLeft = 0, newLeft = 0, newFileLeft = 0;
    for (int kill = 0; kill < kSpreadKills + kKillsBesideTheNewFile; ++kill) {
        StartOnEnvironmentPage();
        const std::string before = Contents();
        const std::vector<std::string> leftBefore = Leftovers();
        const auto isNew = [&](const std::string& name) {
            return std::find(leftBefore.begin(), leftBefore.end(), name) == leftBefore.end();
        };
        const std::string port = kill % 2 == 0 ? "9090" : "8181";
        ClickChange(port);
        if (kill < kSpreadKills) {
            // The program does not end by itself: this is the moment to kill at.
            ASSERT_FALSE(session_->Program().WaitForExit(
                std::chrono::duration_cast<std::chrono::milliseconds>(save * kill / (kSpreadKills - 1))));
        } else {
            WaitUntil([&] { return std::ranges::any_of(Leftovers(), isNew); },
                      3 * std::chrono::duration_cast<std::chrono::milliseconds>(save), std::chrono::milliseconds(1));
        }
        session_->Program().Terminate();
        ASSERT_TRUE(session_->Program().WaitForExit(std::chrono::seconds(5)).has_value());

        const std::string after = Contents();
        ASSERT_TRUE(after == before || after == ChangedTo(port))
            << "kill " << kill << ": server.xml is " << (after == "<missing>" ? "missing" : "torn");
        ++(after == before ? oldLeft : newLeft);
        for (const std::string& name : Leftovers()) {
            EXPECT_TRUE(IsReplacementOf(name, "server.xml")) << name;
            if (isNew(name)) ++newFileLeft;
        }
    }
    std::cout << "kills: " << kSpreadKills + kKillsBesideTheNewFile << " in saves of "
              << std::chrono::duration_cast<std::chrono::milliseconds>(save).count() << " ms; old bytes left "
              << oldLeft << ", new bytes " << newLeft << "; new files left beside it " << newFileLeft << "\n";
    // Some kill fell while the new file was being written, or what the next
    // save has to clear up would be untried.
    EXPECT_GT(newFileLeft, 0);

    StartOnEnvironmentPage();
    Change("9090");
    EXPECT_TRUE(Leftovers().empty());
}

}  // namespace
}  // namespace qm::test

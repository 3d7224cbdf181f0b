// The connector port on the runtime environment page, as a user meets it:
// read from server.xml at start, changed with "修改", confirmed in a plain
// dialog; a port Tomcat could not take changes nothing and says nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "e2e/quillmate_session.h"
#include "platform/win32/wide_text.h"
#include "support/lib/controls.h"
#include "support/lib/held_fifo.h"
#include "support/lib/message_box.h"
#include "support/lib/processes.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
constexpr int kEnvironmentPage = 2;

// Tomcat 6's layout, saved by an editor as UTF-8, with a Chinese comment.
const std::string kServerXml =
    "<?xml version='1.0' encoding='utf-8'?>\r\n"
    "<!-- 本机的Tomcat配置 -->\r\n"
    "<Server port=\"8005\" shutdown=\"SHUTDOWN\">\r\n"
    "  <Listener className=\"org.apache.catalina.core.JasperListener\" />\r\n"
    "  <Service name=\"Catalina\">\r\n"
    "    <!-- 端口 -->\r\n"
    "    <Connector port=\"8080\" protocol=\"HTTP/1.1\"\r\n"
    "               connectionTimeout=\"20000\"\r\n"
    "               redirectPort=\"8443\" />\r\n"
    "    <Connector port=\"8009\" protocol=\"AJP/1.3\" redirectPort=\"8443\" />\r\n"
    "    <Engine name=\"Catalina\" defaultHost=\"localhost\">\r\n"
    "      <Host name=\"localhost\" appBase=\"webapps\" unpackWARs=\"true\" autoDeploy=\"true\" />\r\n"
    "    </Engine>\r\n"
    "  </Service>\r\n"
    "</Server>\r\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// The bytes of UTF-8 text in code page 936, which agrees with GB2312 on
// every character GB2312 has.
std::string InGb2312(const std::string& utf8) {
    const std::wstring wide = win32::Widen(utf8);
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(936, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(936, 0, wide.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// kServerXml after a change to port: the declaration and that value differ,
// and the whole is in GB2312.
std::string ChangedTo(const std::string& port) {
    const std::string text = Replaced(
        Replaced(kServerXml, "<?xml version='1.0' encoding='utf-8'?>", "<?xml version=\"1.0\" encoding=\"GB2312\"?>"),
        "<Connector port=\"8080\"", "<Connector port=\"" + port + "\"");
    return InGb2312(text);
}

class ServerXmlPort : public ::testing::Test {
protected:
    void SetUp() override { CreateFileWithText(ServerXml(), kServerXml); }

    fs::path Tomcat() const { return scratch_.Path() / L"tomcat6"; }
    fs::path ServerXml() const { return Tomcat() / L"conf" / L"server.xml"; }
    std::string Contents() const { return ReadWholeFile(ServerXml()).value_or("<missing>"); }

    void StartProgram(const std::wstring& catalinaHome) {
        const std::wstring javaHome = (scratch_.Path() / L"jdk").wstring();
        session_.emplace(QuillmateSession::Start(WithInstallations(javaHome, catalinaHome)));
        ASSERT_NE(session_->MainWindow(), nullptr);
    }
    void StartOnEnvironmentPage() {
        StartProgram(Tomcat().wstring());
        ASSERT_TRUE(SelectTab(session_->Control("PageControl1"), kEnvironmentPage));
    }
    std::wstring ShownPort() const { return ReadWindowText(session_->Control("TomcatPort")); }

    // Types the port and clicks "修改", then waits until the click has been
    // handled: a tab click posted after it is taken only once the handler
    // has returned, or from inside a box it opened.
    void ChangePortTo(const std::wstring& port) {
        ASSERT_TRUE(SetEditText(session_->Control("TomcatPort"), port));
        ASSERT_TRUE(PostClick(session_->Control("btn_port")));
    }
    void WaitUntilClickHandled() {
        const HWND pages = session_->Control("PageControl1");
        ASSERT_TRUE(SelectTab(pages, 0));
        ASSERT_TRUE(SelectTab(pages, kEnvironmentPage));
    }
    void ExpectNothingChangedOrShown(const std::wstring& typed) {
        WaitUntilClickHandled();
        EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId())) << "after " << win32::Narrow(typed);
        EXPECT_EQ(Contents(), kServerXml) << "after " << win32::Narrow(typed);
        EXPECT_EQ(ShownPort(), typed);
    }

    ScratchDirectory scratch_;
    std::optional<QuillmateSession> session_;
};

// --- At start ------------------------------------------------------------------

TEST_F(ServerXmlPort, ShowsTheHttpConnectorsPortAtStartAndWritesNothing) {
    StartProgram(Tomcat().wstring());
    EXPECT_TRUE(WaitUntil([&] { return ShownPort() == L"8080"; }));
    EXPECT_EQ(Contents(), kServerXml);
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
}

TEST_F(ServerXmlPort, ReadsThroughABackslashRightBeforeConf) {
    StartProgram(Tomcat().wstring() + L"\\");
    EXPECT_TRUE(WaitUntil([&] { return ShownPort() == L"8080"; }));
}

// A server.xml whose read does not return (a FIFO that a Linux program holds
// open for writing): the window answers meanwhile, and the port stays empty.
TEST_F(ServerXmlPort, TheWindowAnswersWhileTheReadAtStartWaits) {
    fs::remove(ServerXml());
    const HeldFifo fifo(ServerXml());
    ASSERT_TRUE(fifo);
    StartProgram(Tomcat().wstring());
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(session_->MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer), 0);
    EXPECT_EQ(ShownPort(), L"");
    // And closes at once, the read left to its thread.
    EXPECT_EQ(session_->Close(std::chrono::seconds(20)), std::optional<DWORD>(0));
}

TEST_F(ServerXmlPort, BrokenFileShowsNoPortAndNoMessage) {
    CreateFileWithText(ServerXml(), Replaced(kServerXml, "</Service>", "</Servic>"));
    StartProgram(Tomcat().wstring());
    EXPECT_EQ(ShownPort(), L"");
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
}

// --- Changing the port -------------------------------------------------------------

TEST_F(ServerXmlPort, ChangeSavesTheFileThenConfirmsThenShowsThePortTrimmed) {
    StartOnEnvironmentPage();
    ChangePortTo(L" 9090 ");
    const HWND box = WaitForMessageBox(session_->ProcessId());
    ASSERT_NE(box, nullptr);
    const MessageBoxInfo info = ReadMessageBox(box);
    EXPECT_EQ(info.caption, L"Quillmate");
    EXPECT_EQ(info.text, L"修改成功!");
    EXPECT_EQ(info.icon, MessageBoxIcon::None);
    EXPECT_EQ(info.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(info.owner, session_->OwnerWindow());
    // Saved before the dialog, and the edit keeps what was typed until it is answered.
    EXPECT_EQ(Contents(), ChangedTo("9090"));
    EXPECT_EQ(ShownPort(), L" 9090 ");

    ASSERT_TRUE(AnswerMessageBox(box));
    EXPECT_TRUE(WaitUntil([&] { return ShownPort() == L"9090"; })) << win32::Narrow(ShownPort());
    EXPECT_EQ(Contents(), ChangedTo("9090"));
}

TEST_F(ServerXmlPort, SecondChangeRewritesOnlyThePortAgain) {
    StartOnEnvironmentPage();
    for (const char* port : {"9090", "80"}) {
        ChangePortTo(win32::Widen(port));
        const HWND box = WaitForMessageBox(session_->ProcessId());
        ASSERT_NE(box, nullptr) << port;
        ASSERT_TRUE(AnswerMessageBox(box));
        EXPECT_EQ(Contents(), ChangedTo(port));
    }
}

TEST_F(ServerXmlPort, EmptyPortReadsTheFileAgainAndSaysNothing) {
    StartOnEnvironmentPage();
    CreateFileWithText(ServerXml(), Replaced(kServerXml, "port=\"8080\"", "port=\"8181\""));
    ChangePortTo(L"");
    EXPECT_TRUE(WaitUntil([&] { return ShownPort() == L"8181"; })) << win32::Narrow(ShownPort());
    WaitUntilClickHandled();
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
    EXPECT_EQ(Contents(), Replaced(kServerXml, "port=\"8080\"", "port=\"8181\""));
}

// --- Ports Tomcat could not take, and files that may not be written ----------------

TEST_F(ServerXmlPort, InvalidPortsChangeNothingAndShowNothing) {
    StartOnEnvironmentPage();
    for (const wchar_t* typed : {L"80a", L"70000", L"-1", L"65536", L"８０８０"}) {
        ChangePortTo(typed);
        ExpectNothingChangedOrShown(typed);
    }
}

TEST_F(ServerXmlPort, ReadOnlyFileIsNotWrittenAndNothingIsShown) {
    ASSERT_TRUE(SetFileAttributesW(ServerXml().c_str(), FILE_ATTRIBUTE_READONLY));
    StartOnEnvironmentPage();
    EXPECT_EQ(ShownPort(), L"8080");
    ChangePortTo(L"9090");
    // The edit still shows the typed port, as if the change had been made.
    ExpectNothingChangedOrShown(L"9090");
    SetFileAttributesW(ServerXml().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ServerXmlPort, RemovedInstallationChangesNothing) {
    StartOnEnvironmentPage();
    fs::remove(ServerXml());
    ChangePortTo(L"9090");
    WaitUntilClickHandled();
    EXPECT_TRUE(NoMessageBoxOpen(session_->ProcessId()));
    EXPECT_FALSE(fs::exists(ServerXml()));
}

}  // namespace
}  // namespace qm::test

// A webapp's JDBC URL naming a local instance without a port, followed by the
// diagnosis as the driver would: the SQL Server Browser asked over UDP 1434
// (a responder of the test's own, the one test that binds that port), then a
// TCP connection to the port it gave, where the test listens.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "e2e/quillmate_session.h"
#include "support/lib/controls.h"
#include "support/lib/listening_port.h"
#include "support/lib/processes.h"
#include "support/lib/test_service_control.h"
#include "support/lib/wait.h"
#include "support/lib/window_query.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
constexpr auto kBound = std::chrono::seconds(20);
constexpr int kDiagnosisTab = 4;
constexpr wchar_t kSqlServerKey[] = L"SOFTWARE\\Microsoft\\Microsoft SQL Server";
constexpr wchar_t kInstance[] = L"QMJDBC";
constexpr wchar_t kInstanceId[] = L"MSSQL15.QMJDBC";

void SetValue(const std::wstring& path, const wchar_t* name, DWORD type, const std::wstring& text, DWORD number = 0) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const win32::UniqueRegistryKey owned(key);
    const bool dword = type == REG_DWORD;
    const auto* data = dword ? reinterpret_cast<const BYTE*>(&number) : reinterpret_cast<const BYTE*>(text.c_str());
    const DWORD size = dword ? sizeof number : static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, data, size), ERROR_SUCCESS);
}

// The instance QMJDBC with TCP on and its dynamic port, gone with the object.
class RegisteredInstance {
public:
    explicit RegisteredInstance(std::uint16_t port) {
        Remove();
        SetValue(std::wstring(kSqlServerKey) + L"\\Instance Names\\SQL", kInstance, REG_SZ, kInstanceId);
        const std::wstring tcp =
            std::wstring(kSqlServerKey) + L"\\" + kInstanceId + L"\\MSSQLServer\\SuperSocketNetLib\\Tcp";
        SetValue(tcp, L"Enabled", REG_DWORD, L"", 1);
        SetValue(tcp + L"\\IPAll", L"TcpDynamicPorts", REG_SZ, std::to_wstring(port));
    }
    ~RegisteredInstance() { Remove(); }

private:
    static void Remove() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kSqlServerKey) + L"\\" + kInstanceId).c_str());
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(kSqlServerKey) + L"\\Instance Names\\SQL").c_str(),
                           kInstance);
    }
};

// Answers every request on UDP 127.0.0.1:1434 the way the SQL Server Browser
// answers CLNT_UCAST_INST for QMJDBC, until Stop.
class BrowserResponder {
public:
    explicit BrowserResponder(std::uint16_t port) : answerPort_(port) {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(1434);
        // Woken this often to see whether it should stop.
        const DWORD wake = 50;
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wake), sizeof wake);
        if (socket_ == INVALID_SOCKET || bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        thread_ = std::thread([this] { Serve(); });
    }
    ~BrowserResponder() {
        Stop();
        if (started_) WSACleanup();
    }

    bool Serving() const { return serving_; }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }

private:
    void Serve() {
        const std::string data = "ServerName;QMHOST;InstanceName;QMJDBC;IsClustered;No;Version;15.0.2000.5;tcp;" +
                                 std::to_string(answerPort_) + ";;";
        const std::string answer = std::string("\x05", 1) + static_cast<char>(data.size()) + '\0' + data;
        while (!stop_) {
            serving_ = true;
            char request[512];
            sockaddr_in from{};
            int fromLength = sizeof from;
            const int got =
                recvfrom(socket_, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got == 7 && std::string(request, 7) == "\x04QMJDBC")
                sendto(socket_, answer.data(), static_cast<int>(answer.size()), 0, reinterpret_cast<sockaddr*>(&from),
                       fromLength);
        }
    }

    std::uint16_t answerPort_;
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    std::thread thread_;
    std::atomic<bool> serving_ = false;
    std::atomic<bool> stop_ = false;
};

std::vector<std::wstring> LastRowOf(const std::vector<std::vector<std::wstring>>& rows, const std::wstring& item) {
    const auto last = std::find_if(rows.rbegin(), rows.rend(), [&](const auto& row) { return row.at(0) == item; });
    return last == rows.rend() ? std::vector<std::wstring>(3) : *last;
}

TEST(JdbcDiagnosis, FollowsAUrlThroughTheBrowsersAnswerToTheListeningPortAndSaysWhenItIsSilent) {
    ListeningPort instancePort;
    ASSERT_NE(instancePort.Port(), 0);
    BrowserResponder browser(instancePort.Port());
    ASSERT_TRUE(WaitUntil([&] { return browser.Serving(); }, kBound));
    RegisteredInstance instance(instancePort.Port());
    RegisteredTestService server({}, RegisteredTestService::ExactName{L"MSSQL$QMJDBC"});
    RegisteredTestService browserService({}, RegisteredTestService::ExactName{L"SQLBrowser"});
    ASSERT_TRUE(server.StartAndWaitUntilRunning() && browserService.StartAndWaitUntilRunning());

    ScratchDirectory scratch;
    const fs::path jdk = scratch.Path() / "jdk";
    const fs::path tomcat = scratch.Path() / "tomcat";
    CreateFileWithText(jdk / "release", "JAVA_VERSION=\"11.0.2\"\n");
    CreateFileWithText(tomcat / "lib" / "mssql-jdbc-12.4.2.jre11.jar");
    CreateFileWithText(tomcat / "conf" / "context.xml",
                       "<Context><Resource name=\"jdbc/shop\" auth=\"Container\" type=\"javax.sql.DataSource\" "
                       "url=\"jdbc:sqlserver://localhost\\QMJDBC;encrypt=false;password=hunter2\"/></Context>\n");
    QuillmateSession session = QuillmateSession::Start(WithInstallations(jdk.wstring(), tomcat.wstring()));
    ASSERT_NE(session.MainWindow(), nullptr);
    const HWND list = session.Control("DiagnosisList");
    ASSERT_TRUE(SelectTab(session.Control("PageControl1"), kDiagnosisTab));
    ASSERT_TRUE(WaitUntil([&] { return ReportRowCount(list) > 0; }, kBound));

    const std::wstring item = L"JDBC localhost\\QMJDBC";
    const auto reached = LastRowOf(ReportRows(list, 3), item);
    EXPECT_EQ(reached[1], L"正常") << reached[2];
    EXPECT_NE(reached[2].find(L"127.0.0.1:" + std::to_wstring(instancePort.Port())), std::wstring::npos) << reached[2];
    EXPECT_NE(reached[2].find(L"password=***"), std::wstring::npos) << reached[2];
    EXPECT_EQ(reached[2].find(L"hunter2"), std::wstring::npos) << reached[2];

    browser.Stop();
    SendWithTimeout(list, LVM_DELETEALLITEMS);
    ASSERT_TRUE(PostClick(session.Control("DiagnoseButton")));
    ASSERT_TRUE(WaitUntil([&] { return ReportRowCount(list) > 0; }, kBound));
    const auto silent = LastRowOf(ReportRows(list, 3), item);
    EXPECT_EQ(silent[1], L"错误") << silent[2];
    EXPECT_NE(silent[2].find(L"UDP 1434"), std::wstring::npos) << silent[2];
}

}  // namespace
}  // namespace qm::test

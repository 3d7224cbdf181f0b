#include "diagnosis/diagnose.h"
#include "diagnosis/jdbc_sources.h"

#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::diagnosis {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// A zip archive of stored entries, as a war holds them.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    const auto number = [](std::uint32_t value, int width) {
        std::string bytes;
        for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
        return bytes;
    };
    std::string zip, directory;
    for (const auto& [name, contents] : entries) {
        const std::string sizes = number(0, 4) + number(contents.size(), 4) + number(contents.size(), 4);
        directory += number(0x02014B50, 4) + number(20, 2) + number(20, 2) + number(0, 4) + number(0, 4) + sizes +
                     number(name.size(), 2) + number(0, 2) + number(0, 2) + number(0, 4) + number(0, 4) +
                     number(zip.size(), 4) + name;
        zip += number(0x04034B50, 4) + number(20, 2) + number(0, 4) + number(0, 4) + sizes + number(name.size(), 2) +
               number(0, 2) + name + contents;
    }
    return zip + directory + number(0x06054B50, 4) + number(0, 4) + number(entries.size(), 2) +
           number(entries.size(), 2) + number(directory.size(), 4) + number(zip.size(), 4) + number(0, 2);
}

std::string Context(const std::string& url, const std::string& more = "") {
    return "<Context><Resource name=\"jdbc/shop\" url=\"" + url + "\" password=\"topsecret\"" + more + "/></Context>";
}

std::string BrowserAnswer(const std::string& instance, unsigned port) {
    const std::string data = "ServerName;DEVBOX;InstanceName;" + instance + ";tcp;" + std::to_string(port) + ";;";
    return std::string("\x05", 1) + static_cast<char>(data.size()) + '\0' + data;
}

// Tomcat 6 on JDK 8 (the fake machine) with SQLEXPRESS running on dynamic
// port 49172, the Browser answering for it, and Microsoft's 12.4 driver.
struct JdbcMachine : test::FakeMachine {
    std::string tcp =
        "SOFTWARE\\Microsoft\\Microsoft SQL Server\\MSSQL15.SQLEXPRESS\\MSSQLServer\\SuperSocketNetLib\\Tcp";
    JdbcMachine() {
        AddSqlInstance("SQLEXPRESS", "MSSQL15.SQLEXPRESS", RegistryView::Native, 1, "");
        registry.strings[{tcp + "\\IPAll", "TcpDynamicPorts", RegistryView::Native}] = "49172";
        services.Install("MSSQL$SQLEXPRESS", "sqlservr.exe -sSQLEXPRESS", 4);
        services.Install("SQLBrowser", "sqlbrowser.exe", 4);
        datagrams.answers[1434] = BrowserAnswer("SQLEXPRESS", 49172);
        connector.outcomes[49172] = ConnectOutcome::Connected;
        files.listings[catalinaHome + "\\lib"] = {{"catalina.jar"}, {"mssql-jdbc-12.4.2.jre8.jar"}};
        SetContext(Context("jdbc:sqlserver://localhost\\SQLEXPRESS;encrypt=false"));
    }
    void SetContext(const std::string& text) { files.files[catalinaHome + "\\conf\\context.xml"] = text; }
    // The rows of the URLs, in report order.
    std::vector<Row> Jdbc() {
        std::vector<Row> rows = Diagnose();
        std::erase_if(rows, [](const Row& row) { return !row.item.starts_with("JDBC"); });
        return rows;
    }
    Row Last() {
        const auto rows = Jdbc();
        return rows.at(rows.size() - 1);
    }
};

::testing::Matcher<Row> IsRow(Status status, ::testing::Matcher<std::string> explanation) {
    return AllOf(::testing::Field(&Row::status, status), ::testing::Field(&Row::explanation, explanation));
}

TEST(JdbcSources, FindsTheUrlsOfEveryPlaceInOrderWithoutTheirPasswords) {
    test::FakeFiles files;
    const std::string home = "C:\\tc";
    files.files[home + "\\conf\\server.xml"] =
        "<Server><GlobalNamingResources><Resource name=\"a\" url=\"jdbc:sqlserver://g1;password=pw1\"/>"
        "</GlobalNamingResources><Service><Resource url=\"jdbc:sqlserver://not-global\"/></Service></Server>";
    files.files[home + "\\conf\\context.xml"] = Context("jdbc:jtds:sqlserver://c1", " username=\"app\"");
    files.listings[home + "\\conf\\Catalina\\localhost"] = {{"b.xml"}, {"a.xml"}, {"notes.txt"}};
    files.files[home + "\\conf\\Catalina\\localhost\\a.xml"] = Context("jdbc:sqlserver://h-a");
    files.files[home + "\\conf\\Catalina\\localhost\\b.xml"] = Context("jdbc:sqlserver://h-b");
    files.listings[home + "\\webapps"] = {{"shop", true}, {"shop.war"}, {"blog.war"}};
    files.files[home + "\\webapps\\shop\\META-INF\\context.xml"] = Context("jdbc:sqlserver://w1");
    files.listings[home + "\\webapps\\shop\\WEB-INF\\classes"] = {{"application.properties"}};
    files.files[home + "\\webapps\\shop\\WEB-INF\\classes\\application.properties"] =
        "# jdbc:sqlserver://commented\nspring.datasource.url = jdbc:sqlserver://localhost\\SQLEXPRESS;\\\n"
        "    password=pw2\nspring.datasource.username=shopper\nspring.datasource.password=pw3\n";
    files.files[home + "\\webapps\\shop.war"] =
        StoredZip({{"META-INF/context.xml", Context("jdbc:sqlserver://unused")}});
    files.files[home + "\\webapps\\blog.war"] =
        StoredZip({{"META-INF/context.xml", Context("jdbc:sqlserver://war1")},
                   {"WEB-INF/classes/jdbc.properties", "jdbc.url=jdbc:jtds:sqlserver://war2\njdbc.user=blogger\n"},
                   {"WEB-INF/classes/deeper/x.properties", "url=jdbc:sqlserver://deeper"},
                   {"WEB-INF/lib/mssql-jdbc-9.4.1.jre8.jar", "PK"}});

    const JdbcSearch found = FindJdbcUrls(files, home);
    std::vector<std::string> urls, users;
    for (const JdbcSource& source : found.urls) {
        urls.push_back(source.url);
        users.push_back(source.userBeside);
    }
    // The webapps by name: blog.war, then the folder shop (shop.war is its archive).
    EXPECT_THAT(urls,
                ElementsAre("jdbc:sqlserver://g1;password=***", "jdbc:jtds:sqlserver://c1", "jdbc:sqlserver://h-a",
                            "jdbc:sqlserver://h-b", "jdbc:sqlserver://war1", "jdbc:jtds:sqlserver://war2",
                            "jdbc:sqlserver://w1", "jdbc:sqlserver://localhostSQLEXPRESS;password=***"));
    EXPECT_THAT(users, ElementsAre("", "app", "", "", "", "blogger", "", "shopper"));
    EXPECT_TRUE(found.urls[7].backslashDropped);
    EXPECT_EQ(found.urls[6].webapp, home + "\\webapps\\shop");
    EXPECT_EQ(found.urls[5].file, home + "\\webapps\\blog.war 中的 WEB-INF/classes/jdbc.properties");
    EXPECT_THAT(found.urls[5].archiveLibraries, ElementsAre("mssql-jdbc-9.4.1.jre8.jar"));
    EXPECT_TRUE(found.unreadable.empty());
}

TEST(JdbcChecks, ANamedInstanceWithoutPortIsAskedOfTheBrowserAndReached) {
    JdbcMachine machine;
    EXPECT_THAT(machine.Jdbc(),
                ElementsAre(IsRow(Status::Ok, AllOf(HasSubstr("127.0.0.1:49172"), HasSubstr("SQLEXPRESS"),
                                                    Not(HasSubstr("topsecret"))))));
    EXPECT_THAT(machine.datagrams.asked, ElementsAre(std::string("\x04SQLEXPRESS")));
}

TEST(JdbcChecks, AnotherHostIsOneOkRowAndNothingIsAsked) {
    JdbcMachine machine;
    machine.SetContext(Context("jdbc:sqlserver://db.example.com\\SQLEXPRESS"));
    EXPECT_THAT(machine.Jdbc(), ElementsAre(IsRow(Status::Ok, HasSubstr("db.example.com 不是本机"))));
    EXPECT_TRUE(machine.datagrams.asked.empty());
}

TEST(JdbcChecks, AUrlThatDoesNotParseIsANoticeNamingItsFile) {
    JdbcMachine machine;
    machine.SetContext(Context("jdbc:sqlserver://localhost:port;password=pw"));
    EXPECT_THAT(machine.Jdbc(), ElementsAre(IsRow(Status::Notice, AllOf(HasSubstr("C:\\tomcat6\\conf\\context.xml"),
                                                                        HasSubstr("password=***")))));
}

TEST(JdbcChecks, AnInstanceNotInstalledNamesTheInstalledOnes) {
    JdbcMachine machine;
    machine.SetContext(Context("jdbc:sqlserver://localhost\\SQL2019"));
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, AllOf(HasSubstr("SQL2019 没有安装"), HasSubstr("SQLEXPRESS"))));
}

TEST(JdbcChecks, AStoppedInstanceServiceIsAnErrorWithItsState) {
    JdbcMachine machine;
    machine.services.Installed("MSSQL$SQLEXPRESS").state = 1;
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, AllOf(HasSubstr("MSSQL$SQLEXPRESS"), HasSubstr("已停止"))));
}

TEST(JdbcChecks, TcpTurnedOffIsAnError) {
    JdbcMachine machine;
    machine.registry.dwords[{machine.tcp, "Enabled", RegistryView::Native}] = 0;
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, HasSubstr("TCP/IP 已关闭")));
}

TEST(JdbcChecks, APortTheInstanceDoesNotUseNamesBoth) {
    JdbcMachine machine;
    machine.SetContext(Context("jdbc:sqlserver://localhost\\SQLEXPRESS:1433"));
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, AllOf(HasSubstr("端口 1433"), HasSubstr("动态端口 49172"))));
}

TEST(JdbcChecks, WithoutInstanceNameOnlyTheNamedInstanceOnThatPortIsTaken) {
    JdbcMachine machine;
    machine.SetContext(Context("jdbc:sqlserver://localhost:49172;encrypt=false"));
    EXPECT_THAT(machine.Last(), IsRow(Status::Ok, HasSubstr("实例 SQLEXPRESS")));
    machine.SetContext(Context("jdbc:sqlserver://localhost"));
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, AllOf(HasSubstr("1433"), HasSubstr("SQLEXPRESS 动态端口 49172"))));
}

TEST(JdbcChecks, TheBrowserStoppedOrSilentIsAnError) {
    JdbcMachine machine;
    machine.services.Installed("SQLBrowser").state = 1;
    EXPECT_THAT(machine.Last(),
                IsRow(Status::Error, AllOf(HasSubstr("SQLBrowser 已停止"), HasSubstr("动态端口 49172"))));
    machine.services.Installed("SQLBrowser").state = 4;
    machine.datagrams.answers.clear();
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, HasSubstr("1 秒内没有回答")));
}

TEST(JdbcChecks, ARefusedConnectionNamesThePort) {
    JdbcMachine machine;
    machine.connector.outcomes.clear();
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, HasSubstr("127.0.0.1:49172 拒绝连接")));
}

TEST(JdbcChecks, ASqlLoginBesideTheUrlAgainstWindowsLoginsOnlyIsAnError) {
    JdbcMachine machine;
    machine.registry.dwords[{"SOFTWARE\\Microsoft\\Microsoft SQL Server\\MSSQL15.SQLEXPRESS\\MSSQLServer", "LoginMode",
                             RegistryView::Native}] = 1;
    machine.SetContext(Context("jdbc:sqlserver://localhost\\SQLEXPRESS;encrypt=false", " username=\"shop\""));
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, AllOf(HasSubstr("shop"), HasSubstr("LoginMode 1"))));
}

TEST(JdbcChecks, IntegratedSecurityWantsTheAuthDllOfTheDriversVersionAndTheRunnersBitness) {
    JdbcMachine machine;
    machine.SetContext(Context("jdbc:sqlserver://localhost\\SQLEXPRESS;integratedSecurity=true;encrypt=false"));
    // The service's JVM is C:\jdk\jre\bin\server\jvm.dll: its bin holds the wrong build.
    machine.files.listings["C:\\jdk\\jre\\bin"] = {{"mssql-jdbc_auth-12.4.2.x86.dll"},
                                                   {"mssql-jdbc_auth-9.4.1.x64.dll"}};
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, AllOf(HasSubstr("mssql-jdbc_auth-12.4.2.x64.dll"),
                                                           HasSubstr("x86.dll"), HasSubstr("C:\\jdk\\jre\\bin"))));
    machine.files.listings["C:\\jdk\\jre\\bin"].push_back({"mssql-jdbc_auth-12.4.2.x64.dll"});
    EXPECT_EQ(machine.Last().status, Status::Ok);
}

TEST(JdbcChecks, ANewDriverThatEncryptsIsANoticeAndOneForNewerJavaAnError) {
    JdbcMachine machine;
    machine.SetContext(Context("jdbc:sqlserver://localhost\\SQLEXPRESS"));
    EXPECT_THAT(machine.Jdbc(), ElementsAre(IsRow(Status::Notice, HasSubstr("PKIX path building failed")),
                                            IsRow(Status::Ok, HasSubstr("49172"))));
    machine.files.listings[machine.catalinaHome + "\\lib"] = {{"mssql-jdbc-12.4.2.jre11.jar"}};
    EXPECT_THAT(machine.Last(), IsRow(Status::Error, AllOf(HasSubstr("需要 Java 11"), HasSubstr("Java 为 8"))));
}

}  // namespace
}  // namespace qm::diagnosis

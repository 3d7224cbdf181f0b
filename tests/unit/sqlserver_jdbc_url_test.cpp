#include "sqlserver/jdbc_url.h"
#include "sqlserver/resolution_protocol.h"

#include <gtest/gtest.h>

namespace qm::sqlserver {
namespace {

TEST(JdbcUrl, MicrosoftServerPartGivesHostInstanceAndPortInEitherOrder) {
    const JdbcUrl url = ParseJdbcUrl("jdbc:sqlserver://localhost\\SQLEXPRESS:1500;databaseName=shop;user=app").value();
    EXPECT_EQ(url.host, "localhost");
    EXPECT_EQ(url.instance, "SQLEXPRESS");
    EXPECT_EQ(url.port, 1500u);
    EXPECT_EQ(url.database, "shop");
    EXPECT_EQ(url.user, "app");
    EXPECT_EQ(ParseJdbcUrl("jdbc:sqlserver://.:1501\\NAMED").value().instance, "NAMED");
    EXPECT_EQ(ParseJdbcUrl("jdbc:sqlserver://[::1]:1502").value().host, "::1");
    EXPECT_EQ(ParseJdbcUrl("jdbc:sqlserver://[::1]:1502").value().port, 1502u);
}

TEST(JdbcUrl, MicrosoftPropertiesNameServerInstanceAndPortWithoutLetterCase) {
    const JdbcUrl url =
        ParseJdbcUrl(
            "JDBC:SQLSERVER://;ServerName=(local)\\OLD;INSTANCENAME=NEW;port=1600;integratedSecurity=TRUE;"
            "encrypt=false;trustServerCertificate=true;database={a;b}")
            .value();
    EXPECT_EQ(url.host, "(local)");
    EXPECT_EQ(url.instance, "NEW");
    EXPECT_EQ(url.port, 1600u);
    EXPECT_TRUE(url.integratedSecurity);
    EXPECT_TRUE(EncryptionOff(url));
    EXPECT_TRUE(url.trustServerCertificate);
    EXPECT_EQ(url.database, "a;b");
    EXPECT_EQ(ParseJdbcUrl("jdbc:sqlserver://h;portNumber=1601").value().port, 1601u);
}

TEST(JdbcUrl, JtdsTakesDatabaseFromThePathAndInstanceFromItsProperty) {
    const JdbcUrl url =
        ParseJdbcUrl("jdbc:jtds:sqlserver://127.0.0.1:1700/shop;instance=SQLEXPRESS;user=sa;domain=CORP").value();
    EXPECT_EQ(url.driver, JdbcDriver::Jtds);
    EXPECT_EQ(url.host, "127.0.0.1");
    EXPECT_EQ(url.port, 1700u);
    EXPECT_EQ(url.database, "shop");
    EXPECT_EQ(url.instance, "SQLEXPRESS");
    EXPECT_FALSE(UsesSqlLogin(url, ""));
    EXPECT_TRUE(UsesSqlLogin(ParseJdbcUrl("jdbc:jtds:sqlserver://h;user=sa").value(), ""));
    // jTDS knows neither braces nor Microsoft's names.
    EXPECT_EQ(ParseJdbcUrl("jdbc:jtds:sqlserver://h;instanceName=X").value().instance, "");
}

TEST(JdbcUrl, WhatTheDriverRefusesDoesNotParse) {
    for (std::string_view bad : {"jdbc:sqlserver://h:port", "jdbc:sqlserver://h:0", "jdbc:sqlserver://h;databaseName",
                                 "jdbc:sqlserver://h;password={open", "jdbc:sqlserver://h;portNumber=x",
                                 "jdbc:mysql://h", "jdbc:sqlserver://[::1"})
        EXPECT_FALSE(ParseJdbcUrl(bad).has_value()) << bad;
}

TEST(JdbcUrl, EveryPasswordIsHiddenAlsoWhereTheUrlDoesNotParse) {
    EXPECT_EQ(HidePasswords("jdbc:sqlserver://h;user=sa;password=s3cret;keyStoreSecret={a;b}};c};x=1"),
              "jdbc:sqlserver://h;user=sa;password=***;keyStoreSecret=***;x=1");
    EXPECT_EQ(HidePasswords("jdbc:sqlserver://h;PASSWORD={never closed;x=1"), "jdbc:sqlserver://h;PASSWORD=***");
    EXPECT_EQ(HidePasswords("jdbc:jtds:sqlserver://h/db;password=a{b;user=u"),
              "jdbc:jtds:sqlserver://h/db;password=***;user=u");
}

TEST(JdbcUrl, ThisMachineByEveryNameTheDriversTake) {
    for (std::string_view local : {"", "localhost", "127.0.0.1", "::1", ".", "(LOCAL)", "devbox"})
        EXPECT_TRUE(IsThisMachine(local, "DEVBOX")) << local;
}

std::string Answer(std::string_view data) {
    return std::string("\x05", 1) + static_cast<char>(data.size() & 0xFF) + static_cast<char>(data.size() >> 8) +
           std::string(data);
}

TEST(ResolutionProtocol, TheRequestIsFourThenTheNameAndTheAnswerGivesTheAskedInstancesTcpPort) {
    EXPECT_EQ(InstanceRequest("SQLEXPRESS"), std::string("\x04SQLEXPRESS"));
    const std::string data =
        "ServerName;DEVBOX;InstanceName;SQLEXPRESS;IsClustered;No;Version;15.0.2000.5;tcp;49172;np;"
        "\\\\DEVBOX\\pipe\\MSSQL$SQLEXPRESS\\sql\\query;;";
    EXPECT_EQ(TcpPortInAnswer(Answer(data), "sqlexpress"), 49172u);
    EXPECT_EQ(TcpPortInAnswer(Answer(data), "OTHER"), std::nullopt);
    EXPECT_EQ(TcpPortInAnswer(Answer("ServerName;DEVBOX;InstanceName;SQLEXPRESS;np;x;;"), "SQLEXPRESS"), std::nullopt);
    // Cut short of its own length, or not an answer at all.
    EXPECT_EQ(TcpPortInAnswer(Answer(data).substr(0, 40), "SQLEXPRESS"), std::nullopt);
    EXPECT_EQ(TcpPortInAnswer("\x04" + data, "SQLEXPRESS"), std::nullopt);
}

}  // namespace
}  // namespace qm::sqlserver

#include "diagnosis/diagnose.h"

#include "unit/diagnosis_fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace qm::diagnosis {
namespace {

using test::FakeMachine;
using test::OnlyRow;
using test::RowsOf;
using ::testing::HasSubstr;

constexpr RegistryView kNative = RegistryView::Native;
constexpr RegistryView kWow32 = RegistryView::Wow32;

TEST(SqlServerChecks, ADefaultInstanceWithTcpIsFine) {
    FakeMachine machine;
    machine.AddSqlInstance("MSSQLSERVER", "MSSQL10_50.MSSQLSERVER", kNative, 1, "1433");
    machine.services.Install("MSSQLSERVER", "sqlservr.exe", 4);
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "SQL Server MSSQLSERVER").status, Status::Ok);
    const Row tcp = OnlyRow(rows, "SQL Server MSSQLSERVER TCP/IP");
    EXPECT_EQ(tcp.status, Status::Ok);
    EXPECT_THAT(tcp.explanation, HasSubstr("端口 1433"));
    EXPECT_TRUE(RowsOf(rows, "SQL Server Browser").empty());
}

TEST(SqlServerChecks, ANamedInstanceWithTcpOffAndTheBrowserStoppedGetsTwoNotices) {
    FakeMachine machine;
    machine.AddSqlInstance("SQLEXPRESS", "MSSQL10.SQLEXPRESS", kWow32, 0, "");
    machine.services.Install("MSSQL$SQLEXPRESS", "sqlservr.exe -sSQLEXPRESS", 4);
    machine.services.Install("SQLBrowser", "sqlbrowser.exe", 1);
    const auto rows = machine.Diagnose();
    EXPECT_EQ(OnlyRow(rows, "SQL Server SQLEXPRESS").status, Status::Ok);
    const Row tcp = OnlyRow(rows, "SQL Server SQLEXPRESS TCP/IP");
    EXPECT_EQ(tcp.status, Status::Notice);
    EXPECT_THAT(tcp.explanation, HasSubstr("JDBC"));
    const Row browser = OnlyRow(rows, "SQL Server Browser");
    EXPECT_EQ(browser.status, Status::Notice);
    EXPECT_THAT(browser.explanation, HasSubstr("SQLBrowser"));
}

TEST(RightsCheck, NotElevatedIsANotice) {
    FakeMachine machine;
    machine.rights.elevated = false;
    const Row row = OnlyRow(machine.Diagnose(), "管理员权限");
    EXPECT_EQ(row.status, Status::Notice);
    EXPECT_THAT(row.explanation, HasSubstr("服务与系统环境变量的操作需要管理员权限"));
}

TEST(Diagnose, RowsComeInGroupOrder) {
    FakeMachine machine;
    machine.AddSqlInstance("SQLEXPRESS", "MSSQL10.SQLEXPRESS", kNative, 1, "1433");
    machine.processes.Add(10, "tomcat6.exe", machine.catalinaHome + "\\bin\\tomcat6.exe");
    const auto rows = machine.Diagnose();
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.group < b.group; }));
    for (Group group :
         {Group::Java, Group::Tomcat, Group::Ports, Group::ServicesAndProcesses, Group::SqlServer, Group::Rights})
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const Row& row) { return row.group == group; }));
}

}  // namespace
}  // namespace qm::diagnosis

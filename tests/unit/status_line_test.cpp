// The lines under the Tomcat page's buttons and the SQL Server page's list.
#include "sqlserver/status_line.h"
#include "tomcat/status_line.h"

#include "unit/diagnosis_fakes.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::FakeMachine;

class TomcatStatusLine : public ::testing::Test {
protected:
    std::string Read(bool again = false) {
        return status_.Read({machine_.environment, machine_.files, machine_.services, machine_.network}, again);
    }
    FakeMachine machine_;
    tomcat::TomcatStatus status_;
};

TEST_F(TomcatStatusLine, NamesVersionServiceStateAndWhetherThePortIsListenedOn) {
    machine_.files.files[machine_.catalinaHome + "\\RELEASE-NOTES"] = "  Apache Tomcat Version 6.0.53\n";
    machine_.services.Installed("tomcat6").state = 4;
    machine_.network.listeners = {{8080, 12}};
    EXPECT_EQ(Read(), "Tomcat 6.0.53 · 服务 tomcat6：运行中 · 端口 8080：正在监听");
    machine_.services.Installed("tomcat6").state = 1;
    machine_.network.listeners->clear();
    EXPECT_EQ(Read(), "Tomcat 6.0.53 · 服务 tomcat6：已停止 · 端口 8080：未监听");
}

TEST_F(TomcatStatusLine, ReadsServerXmlAgainOnlyWhenAsked) {
    machine_.services.installed.clear();
    EXPECT_EQ(Read(), "Tomcat 6 · 服务 tomcat6：未安装 · 端口 8080：未监听");
    machine_.WriteServerXml("<Server><Service><Connector port=\"8081\" protocol=\"HTTP/1.1\"/></Service></Server>");
    EXPECT_EQ(Read(), "Tomcat 6 · 服务 tomcat6：未安装 · 端口 8080：未监听");
    EXPECT_EQ(Read(true), "Tomcat 6 · 服务 tomcat6：未安装 · 端口 8081：未监听");
    machine_.WriteServerXml("<Server/>");
    EXPECT_EQ(Read(true), "Tomcat 6 · 服务 tomcat6：未安装 · server.xml 中没有 HTTP/1.1 连接器");
}

TEST_F(TomcatStatusLine, AnInstallationWithoutAServiceOfItsOwnSaysWhoseTheNameIs) {
    machine_.services.Installed("tomcat6").binaryPath = "C:\\other\\bin\\tomcat6.exe //RS//tomcat6";
    EXPECT_EQ(Read(), "Tomcat 6 · 没有自己的服务（tomcat6 属于另一个 Tomcat 安装） · 端口 8080：未监听");
}

TEST_F(TomcatStatusLine, WithoutCatalinaHomeSaysSo) {
    machine_.environment.variables.erase("CATALINA_HOME");
    EXPECT_EQ(Read(), "未设置Tomcat安装目录(CATALINA_HOME)");
}

TEST(SqlStatusLine, NamesTheServiceStateAndTheTcpPort) {
    FakeMachine machine;
    machine.AddSqlInstance("SQLEXPRESS", "MSSQL15.SQLEXPRESS", RegistryView::Native, 1, "1433");
    machine.services.Install("MSSQL$SQLEXPRESS", "sqlservr.exe", 4);
    EXPECT_EQ(sqlserver::ReadInstanceStatus(machine.registry, machine.services, "SQLEXPRESS"),
              "服务 MSSQL$SQLEXPRESS：运行中 · TCP 端口 1433");
    machine.AddSqlInstance("OLD", "MSSQL10.OLD", RegistryView::Wow32, 0, "");
    EXPECT_EQ(sqlserver::ReadInstanceStatus(machine.registry, machine.services, "OLD"),
              "服务 MSSQL$OLD：未安装 · TCP/IP 未启用");
    EXPECT_EQ(sqlserver::ReadInstanceStatus(machine.registry, machine.services, ""), "");
}

}  // namespace
}  // namespace qm

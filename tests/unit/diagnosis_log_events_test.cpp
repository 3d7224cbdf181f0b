// Logs read as events, in the forms Tomcat, its runner and Java write them,
// and what an event names when it is explained.
#include "diagnosis/log_events.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qm::diagnosis {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Explanations(std::string_view text, int tomcatMajor = 9) {
    std::vector<std::string> found;
    for (const FoundFailure& failure : FailuresIn(text, {"tomcat9.exe", tomcatMajor}, 4))
        found.push_back(failure.explained ? failure.explained->explanation : "(unexplained) " + failure.quoted);
    return found;
}

TEST(LogEvents, EachFormsHeaderBeginsAnEventAndItsTraceBelongsToIt) {
    const std::vector<LogEvent> events = ReadLogEvents(
        "Dec 8, 2026 10:01:02 AM org.apache.catalina.core.StandardContext start\n"
        "SEVERE: Error listenerStart\n"
        "08-Dec-2026 10:01:02.345 SEVERE [main] org.apache.catalina.startup.Catalina.start Server failed\n"
        "java.lang.IllegalStateException: outer\n"
        "\tat org.apache.catalina.startup.Catalina.start(Catalina.java:1)\n"
        "Caused by: java.lang.RuntimeException: inner\n"
        "\t... 5 more\n"
        "[2026-12-08 10:01:03] [error] [ 2044] Failed creating java C:\\jre\\bin\\server\\jvm.dll\n"
        "Using CATALINA_BASE:   \"C:\\tomcat\"\n"
        "Exception in thread \"main\" java.lang.NoClassDefFoundError: x/Y\n");
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].level, "SEVERE");
    EXPECT_EQ(events[0].message, "Error listenerStart");
    EXPECT_EQ(events[0].lines.size(), 2u);
    EXPECT_EQ(events[1].message, "Server failed");
    EXPECT_THAT(events[1].causes,
                ElementsAre("java.lang.IllegalStateException: outer", "java.lang.RuntimeException: inner"));
    EXPECT_EQ(events[1].lines.size(), 5u);
    EXPECT_EQ(events[2].level, "error");
    EXPECT_EQ(events[2].message, "Failed creating java C:\\jre\\bin\\server\\jvm.dll");
    EXPECT_EQ(events[3].level, "");
    EXPECT_THAT(events[4].causes, ElementsAre("java.lang.NoClassDefFoundError: x/Y"));
}

TEST(LogEvents, ABindFailureNamesThePortFromTheConnectorInItsHeader) {
    EXPECT_THAT(Explanations("08-Dec-2026 10:01:02.345 SEVERE [main] org.apache.catalina.core.StandardService."
                             "initInternal Failed to initialize connector [Connector[\"http-nio-8443\"]]\n"
                             "\torg.apache.catalina.LifecycleException: Protocol handler initialization failed\n"
                             "Caused by: java.net.BindException: Address already in use: bind\n"),
                ElementsAre(HasSubstr("端口 8443 已被占用")));
}

TEST(LogEvents, AClassForANewerJavaNamesTheClassTheJavaAndTheWebapp) {
    EXPECT_THAT(Explanations("08-Dec-2026 10:01:02.345 INFO [main] org.apache.catalina.startup.HostConfig."
                             "deployDirectory Deploying web application directory [C:\\tomcat\\webapps\\shop]\n"
                             "08-Dec-2026 10:01:03.000 SEVERE [main] org.apache.catalina.core.StandardContext."
                             "listenerStart Error configuring application listener of class [com.shop.Start]\n"
                             "java.lang.UnsupportedClassVersionError: com/shop/Start has been compiled by a more "
                             "recent version of the Java Runtime (class file version 61.0), this version of the Java "
                             "Runtime only recognizes class file versions up to 52.0\n"),
                ElementsAre("网站应用 /shop 中的类 com.shop.Start 是为 Java 17 编译的（类文件版本 61）：需要 Java 17 "
                            "或更高版本，请更换服务的 Jvm 或 JAVA_HOME"));
}

TEST(LogEvents, AJavaxClassOnTomcat10IsTheRenameAndTheFailedContextNamesItsCause) {
    const std::string log =
        "08-Dec-2026 10:01:03.000 SEVERE [main] org.apache.catalina.core.StandardContext.filterStart Exception "
        "starting filter [auth]\n"
        "\tjava.lang.NoClassDefFoundError: javax/servlet/Filter\n"
        "\t\tat java.base/java.lang.ClassLoader.defineClass1(Native Method)\n"
        "\tCaused by: java.lang.ClassNotFoundException: javax.servlet.Filter\n"
        "08-Dec-2026 10:01:03.100 SEVERE [main] org.apache.catalina.core.StandardContext.startInternal Context "
        "[/shop] startup failed due to previous errors\n";
    const std::vector<std::string> on10 = Explanations(log, 10);
    ASSERT_EQ(on10.size(), 2u);
    EXPECT_THAT(on10[0], HasSubstr("Tomcat 10 起这些类改名为 jakarta（jakarta.servlet.Filter）"));
    EXPECT_THAT(on10[1], HasSubstr("网站应用 /shop 启动失败，原因：找不到类 javax.servlet.Filter"));
    EXPECT_THAT(Explanations(log, 9).front(), Not(HasSubstr("jakarta")));
}

TEST(LogEvents, AConfigurationFileThatDoesNotParseNamesFileLineAndColumn) {
    EXPECT_THAT(Explanations("08-Dec-2026 10:01:02.345 SEVERE [main] org.apache.tomcat.util.digester.Digester."
                             "fatalError Parse fatal error at line [12] column [5]\n"
                             "\torg.xml.sax.SAXParseException; systemId: file:/C:/tomcat/conf/server.xml; lineNumber: "
                             "12; columnNumber: 5; The element type \"Host\" must be terminated.\n"),
                ElementsAre("C:\\tomcat\\conf\\server.xml 无法解析：第 12 行第 5 列，The element type \"Host\" must be "
                            "terminated."));
}

TEST(LogEvents, TheLatestOfEachKindOnlyAndTheRunnerNamedAsInstalled) {
    const std::vector<std::string> found = Explanations(
        "[2026-12-08 10:01:03] [error] [ 2044] Failed creating java C:\\jre\\bin\\server\\jvm.dll\n"
        "[2026-12-08 10:01:03] [error] [ 2044] %1 is not a valid Win32 application.\n"
        "SEVERE: Something nobody knows\n");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_THAT(found[0], HasSubstr("jvm.dll 与 tomcat9.exe 是否同为 32 位或 64 位"));
    EXPECT_THAT(Explanations("INFO: fine\nSEVERE: Something nobody knows\n"),
                ElementsAre("(unexplained) SEVERE: Something nobody knows"));
}

}  // namespace
}  // namespace qm::diagnosis

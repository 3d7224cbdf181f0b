// The connector port of server.xml: found in Tomcat's usual layouts, shown,
// changed and saved; every broken layout shows and writes nothing. And the
// check of the typed port that the button makes first.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "tomcat/server_xml_port.h"
#include "unit/posix_file_system.h"
#include "platform/file_replacer.h"

namespace qm::tomcat {
namespace {

namespace fs = std::filesystem;

// Keeps what would have been written instead of writing it.
class RecordingReplacer : public FileReplacer {
public:
    struct Write {
        std::string path;
        std::string bytes;
    };
    std::vector<Write> writes;
    bool refuse = false;
    bool hardLinked = false;
    bool runOutOfMemory = false;
    bool breakDown = false;

    ReplaceOutcome Replace(const std::string& path, std::string_view bytes, std::string& reason) override {
        if (runOutOfMemory) throw std::bad_alloc();
        if (breakDown) throw std::logic_error("broken");
        if (refuse || hardLinked) {
            reason = "refused";
            return hardLinked ? ReplaceOutcome::HasOtherNames : ReplaceOutcome::Failed;
        }
        writes.push_back({path, std::string(bytes)});
        return ReplaceOutcome::Replaced;
    }
};

// Tomcat 6 as installed: licence comment, listeners, the HTTP/1.1 connector
// first, the AJP one after it, the engine.
const std::string kStockLayout =
    "<?xml version='1.0' encoding='utf-8'?>\r\n"
    "<!--\r\n  Tomcat's own configuration, as shipped.\r\n-->\r\n"
    "<!-- A \"Server\" is a singleton element that represents the entire JVM. -->\r\n"
    "<Server port=\"8005\" shutdown=\"SHUTDOWN\">\r\n"
    "\r\n"
    "  <!--APR library loader. Documentation at /docs/apr.html -->\r\n"
    "  <Listener className=\"org.apache.catalina.core.AprLifecycleListener\" SSLEngine=\"on\" />\r\n"
    "  <Listener className=\"org.apache.catalina.core.JasperListener\" />\r\n"
    "  <GlobalNamingResources>\r\n"
    "    <Resource name=\"UserDatabase\" auth=\"Container\"\r\n"
    "              type=\"org.apache.catalina.UserDatabase\"\r\n"
    "              pathname=\"conf/tomcat-users.xml\" />\r\n"
    "  </GlobalNamingResources>\r\n"
    "\r\n"
    "  <Service name=\"Catalina\">\r\n"
    "    <!--\r\n    <Executor name=\"tomcatThreadPool\" namePrefix=\"catalina-exec-\"/>\r\n    -->\r\n"
    "    <Connector port=\"8080\" protocol=\"HTTP/1.1\" \r\n"
    "               connectionTimeout=\"20000\" \r\n"
    "               redirectPort=\"8443\" />\r\n"
    "    <!-- Define an AJP 1.3 Connector on port 8009 -->\r\n"
    "    <Connector port=\"8009\" protocol=\"AJP/1.3\" redirectPort=\"8443\" />\r\n"
    "    <Engine name=\"Catalina\" defaultHost=\"localhost\">\r\n"
    "      <Host name=\"localhost\"  appBase=\"webapps\" unpackWARs=\"true\" autoDeploy=\"true\" />\r\n"
    "    </Engine>\r\n"
    "  </Service>\r\n"
    "</Server>\r\n";

// A Service body between the usual Server lines.
std::string InService(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Server port=\"8005\" shutdown=\"SHUTDOWN\">\n"
           "  <Service name=\"Catalina\">\n" +
           body + "  </Service>\n</Server>\n";
}

const std::string kEngine = "    <Engine name=\"Catalina\" defaultHost=\"localhost\"/>\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class ServerXmlPort : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() /
                     ("qm-port-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(directory_);
        fs::create_directories(directory_ / "conf");
        path_ = (directory_ / "conf" / "server.xml").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }

    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    ConnectorPortOutcome Run(const std::string& newPort) {
        return WriteConnectorPort(path_, newPort, probe_, replacer_);
    }
    // What the file would hold after the change, as the replacer got it.
    std::string Written() const { return replacer_.writes.empty() ? std::string() : replacer_.writes.back().bytes; }

    void ExpectNothingShownOrWritten(const std::string& newPort) {
        const ConnectorPortOutcome outcome = Run(newPort);
        EXPECT_FALSE(outcome.saved);
        EXPECT_FALSE(outcome.shownPort.has_value()) << *outcome.shownPort;
        EXPECT_TRUE(replacer_.writes.empty());
    }

    fs::path directory_;
    std::string path_;
    test::PosixFileInspector probe_;
    RecordingReplacer replacer_;
};

// --- Reading at start (no port given) -------------------------------------

TEST_F(ServerXmlPort, StockLayoutShowsTheFirstConnectorsPort) {
    Write(kStockLayout);
    const ConnectorPortOutcome outcome = Run("");
    EXPECT_EQ(outcome.shownPort, "8080");
    EXPECT_FALSE(outcome.saved);
}

TEST_F(ServerXmlPort, ReadingSavesNothingAlthoughTheDeclarationChangedInMemory) {
    Write(kStockLayout);
    Run("");
    EXPECT_TRUE(replacer_.writes.empty());
    EXPECT_EQ(Read(), kStockLayout);
}

TEST_F(ServerXmlPort, AjpFirstThenHttpShowsTheSecondConnector) {
    Write(
        InService("    <Connector port=\"8009\" protocol=\"AJP/1.3\" redirectPort=\"8443\" />\n"
                  "    <Connector port=\"8081\" protocol=\"HTTP/1.1\" redirectPort=\"8443\" />\n" +
                  kEngine));
    EXPECT_EQ(Run("").shownPort, "8081");
}

TEST_F(ServerXmlPort, FindsServerAfterCommentsAndProcessingInstructions) {
    Write(
        "<?xml version=\"1.0\"?>\n<!-- one -->\n<?xml-stylesheet href=\"a.xsl\"?>\n<!-- two -->\n"
        "<Server><Service><Connector port=\"80\" protocol=\"HTTP/1.1\"/></Service></Server>");
    EXPECT_EQ(Run("").shownPort, "80");
}

TEST_F(ServerXmlPort, TakesTheFirstServiceAndTheFirstConnectorInIt) {
    Write(
        "<Server><Service><Engine/><Connector port=\"1\" protocol=\"HTTP/1.1\"/></Service>"
        "<Service><Connector port=\"2\" protocol=\"HTTP/1.1\"/></Service></Server>");
    EXPECT_EQ(Run("").shownPort, "1");
}

TEST_F(ServerXmlPort, PastTheFirstConnectorAnyNodeWithBothAttributesIsTaken) {
    Write(
        InService("    <Connector port=\"8009\" protocol=\"AJP/1.3\"/>\n"
                  "    <Listener port=\"7\" protocol=\"HTTP/1.1\"/>\n"));
    EXPECT_EQ(Run("").shownPort, "7");
}

TEST_F(ServerXmlPort, MatchesPrefixedNamesByTheirLocalName) {
    Write(
        "<t:Server xmlns:t=\"urn:tomcat\"><t:Service><t:Connector port=\"8181\" protocol=\"HTTP/1.1\"/>"
        "</t:Service></t:Server>");
    EXPECT_EQ(Run("").shownPort, "8181");
}

TEST_F(ServerXmlPort, ComparesNamespacesOfChildrenWithoutRegardToCase) {
    Write(
        "<Server xmlns=\"urn:Tomcat\"><Service xmlns=\"URN:TOMCAT\">"
        "<Connector port=\"8282\" protocol=\"HTTP/1.1\"/></Service></Server>");
    EXPECT_EQ(Run("").shownPort, "8282");
}

TEST_F(ServerXmlPort, SkipsAChildInAnotherNamespaceThanItsParent) {
    Write(
        "<Server xmlns=\"urn:tomcat\"><Service xmlns=\"urn:other\"><Connector port=\"1\" protocol=\"HTTP/1.1\"/>"
        "</Service><Service><Connector port=\"2\" protocol=\"HTTP/1.1\"/></Service></Server>");
    EXPECT_EQ(Run("").shownPort, "2");
}

// --- Layouts that show and write nothing -----------------------------------

TEST_F(ServerXmlPort, CommentAfterANonHttpConnectorEndsTheWalk) {
    Write(
        InService("    <Connector port=\"8009\" protocol=\"AJP/1.3\"/>\n"
                  "    <!-- the HTTP connector -->\n"
                  "    <Connector port=\"8080\" protocol=\"HTTP/1.1\"/>\n"));
    ExpectNothingShownOrWritten("9090");
    EXPECT_NE(Read().find("port=\"8080\""), std::string::npos);
}

TEST_F(ServerXmlPort, OnlyOtherProtocolsWithNothingAfterThem) {
    Write(
        InService("    <Connector port=\"8009\" protocol=\"AJP/1.3\"/>\n"
                  "    <Connector port=\"8443\" protocol=\"org.apache.coyote.http11.Http11NioProtocol\"/>\n"));
    ExpectNothingShownOrWritten("9090");
}

TEST_F(ServerXmlPort, NoConnectorInService) {
    Write(InService(kEngine));
    ExpectNothingShownOrWritten("9090");
}

TEST_F(ServerXmlPort, FirstConnectorWithoutProtocol) {
    Write(
        InService("    <Connector port=\"8080\" redirectPort=\"8443\"/>\n"
                  "    <Connector port=\"8081\" protocol=\"HTTP/1.1\"/>\n"));
    ExpectNothingShownOrWritten("9090");
}

TEST_F(ServerXmlPort, HttpConnectorWithoutPort) {
    Write(InService("    <Connector protocol=\"HTTP/1.1\" redirectPort=\"8443\"/>\n"));
    ExpectNothingShownOrWritten("9090");
}

TEST_F(ServerXmlPort, LaterNodeWithoutPortEndsTheWalk) {
    Write(InService("    <Connector port=\"8009\" protocol=\"AJP/1.3\"/>\n" + kEngine +
                    "    <Connector port=\"8080\" protocol=\"HTTP/1.1\"/>\n"));
    ExpectNothingShownOrWritten("9090");
}

TEST_F(ServerXmlPort, ProtocolIsComparedExactly) {
    Write(InService("    <Connector port=\"8080\" protocol=\"http/1.1\"/>\n" + kEngine));
    ExpectNothingShownOrWritten("9090");
    Write(InService("    <Connector port=\"8080\" protocol=\" HTTP/1.1\"/>\n" + kEngine));
    ExpectNothingShownOrWritten("9090");
}

TEST_F(ServerXmlPort, NoServerOrNoService) {
    Write("<Tomcat><Service><Connector port=\"8080\" protocol=\"HTTP/1.1\"/></Service></Tomcat>");
    ExpectNothingShownOrWritten("9090");
    Write("<Server><Connector port=\"8080\" protocol=\"HTTP/1.1\"/></Server>");
    ExpectNothingShownOrWritten("9090");
    Write("<server><service><connector port=\"8080\" protocol=\"HTTP/1.1\"/></service></server>");
    ExpectNothingShownOrWritten("9090");
}

TEST_F(ServerXmlPort, FileThatIsNotWellFormed) {
    Write(Replaced(kStockLayout, "</Service>", "</Servic>"));
    ExpectNothingShownOrWritten("9090");
    Write(kStockLayout.substr(0, kStockLayout.size() / 2));
    ExpectNothingShownOrWritten("");
}

TEST_F(ServerXmlPort, MissingFileOrADirectoryIsNotRead) {
    ExpectNothingShownOrWritten("9090");
    fs::create_directories(path_);
    ExpectNothingShownOrWritten("9090");
}

TEST_F(ServerXmlPort, FileTheProbeDoesNotSeeIsNotRead) {
    // Reads what is on the disk, yet sees no file there.
    class NothingThere : public test::PosixFileInspector {
    public:
        bool IsFile(std::string_view) override { return false; }
    } nothing;
    Write(kStockLayout);
    const ConnectorPortOutcome outcome = WriteConnectorPort(path_, "9090", nothing, replacer_);
    EXPECT_FALSE(outcome.shownPort.has_value());
    EXPECT_TRUE(replacer_.writes.empty());
}

// --- Changing the port -------------------------------------------------------

TEST_F(ServerXmlPort, ChangeRewritesOnlyThePortAndTheDeclaration) {
    Write(kStockLayout);
    const ConnectorPortOutcome outcome = Run("9090");
    EXPECT_TRUE(outcome.saved);
    EXPECT_EQ(outcome.shownPort, "9090");
    ASSERT_EQ(replacer_.writes.size(), 1u);
    EXPECT_EQ(replacer_.writes[0].path, path_);
    std::string expected =
        Replaced(kStockLayout, "<?xml version='1.0' encoding='utf-8'?>", "<?xml version=\"1.0\" encoding=\"GB2312\"?>");
    expected = Replaced(expected, "<Connector port=\"8080\"", "<Connector port=\"9090\"");
    EXPECT_EQ(Written(), expected);
}

TEST_F(ServerXmlPort, ChangeAfterAnAjpConnectorTouchesOnlyTheHttpOne) {
    const std::string original = InService(
        "    <Connector port=\"8009\" protocol=\"AJP/1.3\"/>\n"
        "    <Connector port='8081' protocol='HTTP/1.1'/>\n");
    Write(original);
    EXPECT_EQ(Run("80").shownPort, "80");
    std::string expected =
        Replaced(original, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<?xml version=\"1.0\" encoding=\"GB2312\"?>");
    EXPECT_EQ(Written(), Replaced(expected, "port='8081'", "port='80'"));
}

TEST_F(ServerXmlPort, Utf8FileIsSavedInGb2312AndDeclaredSo) {
    Write(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<!-- \xE7\xAB\xAF\xE5\x8F\xA3 -->\n"  // 端口 in UTF-8
        "<Server><Service><Connector port=\"8080\" protocol=\"HTTP/1.1\"/></Service></Server>\n");
    ASSERT_TRUE(Run("8090").saved);
    EXPECT_EQ(Written(),
              "<?xml version=\"1.0\" encoding=\"GB2312\" standalone=\"yes\"?>\n"
              "<!-- \xB6\xCB\xBF\xDA -->\n"  // 端口 in GB2312
              "<Server><Service><Connector port=\"8090\" protocol=\"HTTP/1.1\"/></Service></Server>\n");
}

TEST_F(ServerXmlPort, FileWithoutDeclarationGetsOne) {
    Write("<Server><Service><Connector port=\"8080\" protocol=\"HTTP/1.1\"/></Service></Server>\n");
    ASSERT_TRUE(Run("8090").saved);
    EXPECT_EQ(Written().rfind("<?xml version=\"1.0\" encoding=\"GB2312\"?>", 0), 0u) << Written();
    EXPECT_NE(Written().find("<Server><Service><Connector port=\"8090\" protocol=\"HTTP/1.1\"/>"), std::string::npos);
}

TEST_F(ServerXmlPort, WritesThePortTextExactlyAsGiven) {
    // The range check and the trimming belong to the button; writeXML takes
    // what it is handed.
    Write(kStockLayout);
    EXPECT_EQ(Run(" 99999 ").shownPort, " 99999 ");
    EXPECT_NE(Written().find("<Connector port=\" 99999 \" protocol=\"HTTP/1.1\""), std::string::npos);
}

TEST_F(ServerXmlPort, RefusedReplaceShowsNothing) {
    Write(kStockLayout);
    replacer_.refuse = true;
    const ConnectorPortOutcome outcome = Run("9090");
    EXPECT_FALSE(outcome.saved);
    EXPECT_FALSE(outcome.refusedHardLink);
    EXPECT_FALSE(outcome.shownPort.has_value());
    EXPECT_EQ(Read(), kStockLayout);
}

TEST_F(ServerXmlPort, AFileWithOtherNamesIsNotSavedAndSaysSo) {
    Write(kStockLayout);
    replacer_.hardLinked = true;
    const ConnectorPortOutcome outcome = Run("9090");
    EXPECT_TRUE(outcome.refusedHardLink);
    EXPECT_FALSE(outcome.saved);
    EXPECT_FALSE(outcome.shownPort.has_value());
    EXPECT_EQ(Read(), kStockLayout);
}

TEST_F(ServerXmlPort, AnErrorOnTheWayIsSilentButRunningOutOfMemoryIsNot) {
    Write(kStockLayout);
    replacer_.breakDown = true;
    EXPECT_FALSE(Run("9090").shownPort.has_value());
    replacer_.breakDown = false;
    replacer_.runOutOfMemory = true;
    EXPECT_THROW(Run("9090"), std::bad_alloc);
}

TEST_F(ServerXmlPort, TextGb2312CannotHoldInACommentRefusesTheSave) {
    Write(InService("    <!-- \xF0\x9F\x98\x80 -->\n    <Connector port=\"8080\" protocol=\"HTTP/1.1\"/>\n"));
    ExpectNothingShownOrWritten("9090");
    // Reading does not need the encoding.
    EXPECT_EQ(Run("").shownPort, "8080");
}

TEST_F(ServerXmlPort, ReadOnlyFileOnDiskStaysAsItWas) {
    Write(kStockLayout);
    ::chmod(path_.c_str(), 0444);
    test::PosixFileSystem files;
    WholeFileReplacer disk(files);
    const ConnectorPortOutcome outcome = WriteConnectorPort(path_, "9090", probe_, disk);
    EXPECT_FALSE(outcome.saved);
    EXPECT_FALSE(outcome.shownPort.has_value());
    EXPECT_EQ(Read(), kStockLayout);
}

TEST_F(ServerXmlPort, ChangeOnDiskReadsBackAsTheNewPort) {
    Write(kStockLayout);
    test::PosixFileSystem files;
    WholeFileReplacer disk(files);
    ASSERT_TRUE(WriteConnectorPort(path_, "9090", probe_, disk).saved);
    EXPECT_EQ(Run("").shownPort, "9090");
    EXPECT_EQ(Read().rfind("<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n", 0), 0u);
}

TEST(PortWriteForClick, WritesTheTypedPortIntoTheInstallationsServerXml) {
    EXPECT_EQ(PortWriteForClick("8090", "C:\\tomcat6")->path, "C:\\tomcat6/conf/server.xml");
    EXPECT_EQ(PortWriteForClick("8090", "C:\\tomcat6\\")->path, "C:\\tomcat6\\/conf/server.xml");
    EXPECT_EQ(PortWriteForClick("8090", "C:\\tomcat6")->newPort, "8090");
}

TEST(PortWriteForClick, WritesThePortTrimmed) {
    EXPECT_EQ(PortWriteForClick("  8090\t", "C:\\tomcat6")->newPort, "8090");
}

TEST(PortWriteForClick, EmptyPortOnlyReadsAgain) {
    EXPECT_EQ(PortWriteForClick("", "C:\\tomcat6")->newPort, "");
    EXPECT_EQ(PortWriteForClick("   ", "C:\\tomcat6")->newPort, "");
}

TEST(PortWriteForClick, RefusesPortsAboveTheHighest) {
    EXPECT_TRUE(PortWriteForClick("65535", "C:\\t").has_value());
    EXPECT_TRUE(PortWriteForClick("0", "C:\\t").has_value());
    EXPECT_TRUE(PortWriteForClick("0000000000008080", "C:\\t").has_value());
    EXPECT_FALSE(PortWriteForClick("65536", "C:\\t").has_value());
    EXPECT_FALSE(PortWriteForClick("70000", "C:\\t").has_value());
    EXPECT_FALSE(PortWriteForClick("99999", "C:\\t").has_value());
    EXPECT_FALSE(PortWriteForClick("184467440737095516160", "C:\\t").has_value());
}

TEST(PortWriteForClick, RefusesWhatIsNotANumberOrWithoutInstallation) {
    EXPECT_FALSE(PortWriteForClick("80a", "C:\\t").has_value());
    EXPECT_FALSE(PortWriteForClick("-1", "C:\\t").has_value());
    EXPECT_FALSE(PortWriteForClick("\xEF\xBC\x98\xEF\xBC\x90", "C:\\t").has_value());
    EXPECT_FALSE(PortWriteForClick("8080", "").has_value());
}

}  // namespace
}  // namespace qm::tomcat

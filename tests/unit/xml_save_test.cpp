// Saving writes the file back as the user wrote it: only the declaration
// and the attribute values that were set differ.
#include <gtest/gtest.h>

#include <string>

#include "xml/document.h"

namespace qm::xml {
namespace {

using namespace std::string_literals;

// A stock Tomcat 6 conf/server.xml as a Windows installer leaves it:
// CRLF line ends, comments, blank lines, mixed quotes, an AJP connector.
const std::string kServerXml =
    "<?xml version='1.0' encoding='utf-8'?>\r\n"
    "<!--\r\n  Licensed to the Apache Software Foundation (ASF) under one or more\r\n"
    "  contributor license agreements.\r\n-->\r\n"
    "<!-- Note:  A \"Server\" is not itself a \"Container\", so you may not\r\n"
    "     define subcomponents such as \"Valves\" at this level.\r\n"
    "     Documentation at /docs/config/server.html\r\n -->\r\n"
    "<Server port=\"8005\" shutdown=\"SHUTDOWN\">\r\n\r\n"
    "  <!--APR library loader. Documentation at /docs/apr.html -->\r\n"
    "  <Listener className='org.apache.catalina.core.AprLifecycleListener' SSLEngine='on' />\r\n"
    "  <Listener className=\"org.apache.catalina.core.JasperListener\" />\r\n\r\n"
    "  <GlobalNamingResources>\r\n"
    "    <Resource name=\"UserDatabase\" auth=\"Container\"\r\n"
    "              type=\"org.apache.catalina.UserDatabase\"\r\n"
    "              pathname=\"conf/tomcat-users.xml\" />\r\n"
    "  </GlobalNamingResources>\r\n\r\n"
    "  <Service name=\"Catalina\">\r\n"
    "    <!-- A \"Connector\" represents an endpoint by which requests are received -->\r\n"
    "    <Connector port='8080' protocol='HTTP/1.1' \r\n"
    "               connectionTimeout='20000' \r\n"
    "               redirectPort='8443' />\r\n"
    "    <!-- Define an AJP 1.3 Connector on port 8009 -->\r\n"
    "    <Connector port=\"8009\" protocol=\"AJP/1.3\" redirectPort=\"8443\" />\r\n"
    "\t<Engine name=\"Catalina\" defaultHost=\"localhost\">\r\n"
    "      <Host name=\"localhost\"  appBase=\"webapps\"\r\n"
    "            unpackWARs=\"true\" autoDeploy=\"true\">\r\n"
    "      </Host>\r\n    </Engine>\r\n  </Service>\r\n</Server>\r\n";

const std::string kOldDeclaration = "<?xml version='1.0' encoding='utf-8'?>";
const std::string kNewDeclaration = "<?xml version=\"1.0\" encoding=\"GB2312\"?>";

XmlDocument Load(std::string_view bytes) {
    LoadResult loaded = LoadXmlDocument(bytes);
    EXPECT_TRUE(loaded.ok()) << loaded.error;
    return loaded.ok() ? std::move(*loaded.document) : *LoadXmlDocument("<failed/>").document;
}

// The first child of parent named name, as the port logic looks for it.
XmlNodeId Child(const XmlDocument& document, XmlNodeId parent, std::string_view name) {
    for (XmlNodeId child : document.ChildNodes(parent)) {
        if (document.NodeName(child) == name) return child;
    }
    ADD_FAILURE() << "no " << name;
    return parent;
}

std::string Saved(const XmlDocument& document) {
    const SaveResult saved = document.SaveAsGb2312();
    EXPECT_TRUE(saved.ok()) << saved.error;
    return saved.bytes;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(XmlSave, ServerXmlRoundTripChangesOnlyTheDeclaration) {
    XmlDocument document = Load(kServerXml);
    document.SetGb2312Declaration();
    EXPECT_EQ(Saved(document), Replaced(kServerXml, kOldDeclaration, kNewDeclaration));
}

TEST(XmlSave, APortChangeRewritesOnlyThatValueInItsOwnQuotes) {
    XmlDocument document = Load(kServerXml);
    document.SetGb2312Declaration();
    const XmlNodeId service = Child(document, Child(document, document.DocumentNode(), "Server"), "Service");
    const XmlNodeId connector = Child(document, service, "Connector");
    ASSERT_EQ(document.GetAttribute(connector, "protocol"), "HTTP/1.1");
    std::string reason;
    ASSERT_TRUE(document.SetAttribute(connector, "port", "9090", reason)) << reason;
    EXPECT_EQ(document.GetAttribute(connector, "port"), "9090");
    EXPECT_EQ(document.AttributeNames(connector),
              (std::vector<std::string>{"port", "protocol", "connectionTimeout", "redirectPort"}));
    EXPECT_EQ(Saved(document), Replaced(Replaced(kServerXml, kOldDeclaration, kNewDeclaration),
                                        "<Connector port='8080'", "<Connector port='9090'"));
}

TEST(XmlSave, ASavedFileLoadsAgainWithTheSameValues) {
    XmlDocument document = Load(kServerXml);
    document.SetGb2312Declaration();
    const XmlNodeId server = Child(document, document.DocumentNode(), "Server");
    std::string reason;
    ASSERT_TRUE(document.SetAttribute(server, "shutdown", "a&b<c>'d\"e\tf\r\ng", reason));
    const XmlDocument reloaded = Load(Saved(document));
    EXPECT_EQ(reloaded.GetAttribute(Child(reloaded, reloaded.DocumentNode(), "Server"), "shutdown"),
              "a&b<c>'d\"e\tf\r\ng");
}

TEST(XmlSave, NewValuesAreEscapedForTheirOwnQuote) {
    XmlDocument document = Load("<?xml version='1.0' encoding='GB2312'?><r single='x' double=\"y\"/>");
    const XmlNodeId root = Child(document, document.DocumentNode(), "r");
    std::string reason;
    ASSERT_TRUE(document.SetAttribute(root, "single", "'\"&<>", reason));
    ASSERT_TRUE(document.SetAttribute(root, "double", "'\"", reason));
    EXPECT_EQ(Saved(document),
              "<?xml version='1.0' encoding='GB2312'?><r single='&apos;\"&amp;&lt;>' double=\"'&quot;\"/>");
}

TEST(XmlSave, AMissingAttributeIsAddedAfterTheLastOne) {
    XmlDocument document = Load("<?xml version='1.0' encoding='GB2312'?><r a='1'  /><!-- end -->");
    std::string reason;
    ASSERT_TRUE(document.SetAttribute(Child(document, document.DocumentNode(), "r"), "port", "80", reason));
    EXPECT_EQ(Saved(document), "<?xml version='1.0' encoding='GB2312'?><r a='1' port=\"80\"  /><!-- end -->");
}

TEST(XmlSave, BadNewValuesAndNamesAreRefused) {
    XmlDocument document = Load("<r/>");
    const XmlNodeId root = Child(document, document.DocumentNode(), "r");
    std::string reason;
    EXPECT_FALSE(document.SetAttribute(root, "port", "\x01", reason));
    EXPECT_FALSE(document.SetAttribute(root, "1port", "80", reason));
    EXPECT_FALSE(document.SetAttribute(root, "xmlns:p", "urn:p", reason));
    EXPECT_FALSE(document.SetAttribute(document.DocumentNode(), "port", "80", reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(document.HasAttribute(root, "port"));
}

TEST(XmlSave, ADeclarationIsInsertedWithTheFilesOwnLineEnd) {
    XmlDocument lf = Load("<!-- c -->\n<r/>\n");
    lf.SetGb2312Declaration();
    EXPECT_EQ(lf.NodeName(*lf.FirstChild(lf.DocumentNode())), "xml");
    EXPECT_EQ(Saved(lf), kNewDeclaration + "\n<!-- c -->\n<r/>\n");

    XmlDocument crlf = Load("<r>\r\n</r>");
    crlf.SetGb2312Declaration();
    crlf.SetGb2312Declaration();
    EXPECT_EQ(Saved(crlf), kNewDeclaration + "\r\n<r>\r\n</r>");
}

TEST(XmlSave, TheStandaloneItemIsKept) {
    XmlDocument document = Load("<?xml version=\"1.0\"  standalone='no' ?>\n<r/>");
    document.SetGb2312Declaration();
    EXPECT_EQ(document.Value(*document.FirstChild(document.DocumentNode())),
              "version=\"1.0\" encoding=\"GB2312\" standalone=\"no\"");
    EXPECT_EQ(Saved(document), "<?xml version=\"1.0\" encoding=\"GB2312\" standalone=\"no\"?>\n<r/>");
}

TEST(XmlSave, Utf8ByteOrderMarkAndUtf16AreSavedAsGb2312WithoutMark) {
    XmlDocument utf8 = Load("\xEF\xBB\xBF<r>中</r>");
    utf8.SetGb2312Declaration();
    EXPECT_EQ(Saved(utf8), kNewDeclaration + "\r\n<r>\xD6\xD0</r>");

    XmlDocument utf16 = Load("\xFF\xFE<\0r\0>\0\x2D\x4E<\0/\0r\0>\0"s);
    utf16.SetGb2312Declaration();
    EXPECT_EQ(Saved(utf16), kNewDeclaration + "\r\n<r>\xD6\xD0</r>");
}

TEST(XmlSave, SavingUnderAnotherDeclaredEncodingIsRefused) {
    const XmlDocument document = Load(kServerXml);
    const SaveResult saved = document.SaveAsGb2312();
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.bytes.empty());
}

}  // namespace
}  // namespace qm::xml

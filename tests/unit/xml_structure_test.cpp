// The tree the parser builds, and the documents it must refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/document.h"

namespace qm::xml {
namespace {

XmlDocument Load(std::string_view text) {
    LoadResult result = LoadXmlDocument(text);
    EXPECT_TRUE(result.ok()) << result.error;
    return result.ok() ? std::move(*result.document) : *LoadXmlDocument("<empty/>").document;
}

std::vector<std::string> ChildNames(const XmlDocument& document, XmlNodeId parent) {
    std::vector<std::string> names;
    for (XmlNodeId child : document.ChildNodes(parent)) names.push_back(document.NodeName(child));
    return names;
}

TEST(XmlStructure, ChildNodesOfEveryKindInDocumentOrder) {
    const XmlDocument document = Load(
        "<?xml version=\"1.0\"?>\n<!-- head -->\n<?app setting?>\n"
        "<root>text<a/><!--c--><![CDATA[<raw>]]><?pi x?>tail</root>\n<!-- foot -->\n");
    EXPECT_EQ(ChildNames(document, document.DocumentNode()),
              (std::vector<std::string>{"xml", "#comment", "app", "root", "#comment"}));
    const XmlNodeId root = document.ChildNodes(document.DocumentNode())[3];
    EXPECT_EQ(ChildNames(document, root),
              (std::vector<std::string>{"#text", "a", "#comment", "#cdata-section", "pi", "#text"}));
    const std::vector<XmlNodeId> children = document.ChildNodes(root);
    EXPECT_EQ(document.Kind(children[0]), XmlNodeKind::Text);
    EXPECT_EQ(document.Kind(children[3]), XmlNodeKind::CData);
    EXPECT_EQ(document.Value(children[3]), "<raw>");
    EXPECT_EQ(document.Kind(children[4]), XmlNodeKind::ProcessingInstruction);
    EXPECT_EQ(document.Value(children[4]), "x");
    EXPECT_EQ(document.Parent(children[1]), root);
}

TEST(XmlStructure, DeclarationIsTheFirstChildAsAnXmlProcessingInstruction) {
    const XmlDocument document = Load("<?xml version='1.0' encoding='UTF-8' standalone='yes' ?><r/>");
    const XmlNodeId declaration = *document.FirstChild(document.DocumentNode());
    EXPECT_EQ(document.Kind(declaration), XmlNodeKind::ProcessingInstruction);
    EXPECT_EQ(document.NodeName(declaration), "xml");
    EXPECT_EQ(document.Value(declaration), "version='1.0' encoding='UTF-8' standalone='yes'");
}

TEST(XmlStructure, WhitespaceOnlyTextIsNotANode) {
    const XmlDocument document = Load("<Server>\r\n  <Service>\n\t</Service>  x  </Server>");
    const XmlNodeId server = *document.FirstChild(document.DocumentNode());
    EXPECT_EQ(ChildNames(document, server), (std::vector<std::string>{"Service", "#text"}));
    EXPECT_EQ(document.Value(document.ChildNodes(server)[1]), "  x  ");
    EXPECT_FALSE(document.FirstChild(document.ChildNodes(server)[0]).has_value());
}

TEST(XmlStructure, DoctypeIsSkippedAndIsNoNode) {
    const XmlDocument document = Load(
        "<!DOCTYPE Server PUBLIC \"-//x//y\" 'server.dtd' [\n"
        "  <!ELEMENT Server ANY>\n  <!ATTLIST Server note CDATA \"a > b ]\">\n"
        "  <!-- ]> inside a comment -->\n  <?pi ]>?>\n  %parameters;\n]>\n<Server/>");
    EXPECT_EQ(ChildNames(document, document.DocumentNode()), (std::vector<std::string>{"Server"}));
}

TEST(XmlStructure, AttributesKeepTheirOrderAndValues) {
    const XmlDocument document = Load("<c port='8080' protocol=\"HTTP/1.1\" empty=''/>");
    const XmlNodeId connector = *document.FirstChild(document.DocumentNode());
    EXPECT_EQ(document.AttributeNames(connector), (std::vector<std::string>{"port", "protocol", "empty"}));
    EXPECT_EQ(document.GetAttribute(connector, "protocol"), "HTTP/1.1");
    EXPECT_EQ(document.GetAttribute(connector, "empty"), "");
    EXPECT_TRUE(document.HasAttribute(connector, "empty"));
    EXPECT_FALSE(document.HasAttribute(connector, "Port"));
    EXPECT_EQ(document.GetAttribute(connector, "missing"), std::nullopt);
}

TEST(XmlStructure, AttributesOfNonElementsAreMissing) {
    const XmlDocument document = Load("<!--c--><r/>");
    const XmlNodeId comment = *document.FirstChild(document.DocumentNode());
    EXPECT_FALSE(document.HasAttribute(comment, "port"));
    EXPECT_EQ(document.GetAttribute(comment, "port"), std::nullopt);
}

struct Malformed {
    const char* what;
    const char* text;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Malformed& malformed, std::ostream* out) { *out << malformed.what; }

class XmlMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(XmlMalformed, FailsWithAReason) {
    const LoadResult result = LoadXmlDocument(GetParam().text);
    EXPECT_FALSE(result.ok()) << GetParam().what;
    EXPECT_FALSE(result.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    WellFormedness, XmlMalformed,
    ::testing::Values(
        Malformed{"empty", ""}, Malformed{"only a comment", "<!-- c -->"},
        Malformed{"mismatched end tag", "<a><b></a></b>"}, Malformed{"unclosed", "<a><b/>"},
        Malformed{"end tag without start", "<a/></a>"}, Malformed{"two roots", "<a/><b/>"},
        Malformed{"duplicate attribute", "<a x='1' x=\"2\"/>"},
        Malformed{"duplicate expanded attribute", "<a xmlns:p='u' xmlns:q='u' p:x='1' q:x='2'/>"},
        Malformed{"'<' in attribute", "<a x='<'/>"}, Malformed{"unquoted attribute", "<a x=1/>"},
        Malformed{"attributes without blank", "<a x='1'y='2'/>"},
        Malformed{"'--' in comment", "<a><!-- a -- b --></a>"},
        Malformed{"comment ending in '-'", "<a><!-- a ---></a>"}, Malformed{"bad element name", "<1a/>"},
        Malformed{"bad attribute name", "<a -x='1'/>"}, Malformed{"text before root", "x<a/>"},
        Malformed{"text after root", "<a/>x"}, Malformed{"']]>' in text", "<a>]]></a>"},
        Malformed{"declaration not at start", " <?xml version='1.0'?><a/>"},
        Malformed{"reserved PI target", "<a><?XML x?></a>"},
        Malformed{"declaration without version", "<?xml encoding='UTF-8'?><a/>"},
        Malformed{"declaration items out of order", "<?xml encoding='UTF-8' version='1.0'?><a/>"},
        Malformed{"bad standalone", "<?xml version='1.0' standalone='maybe'?><a/>"},
        Malformed{"CDATA outside root", "<![CDATA[x]]><a/>"}, Malformed{"DOCTYPE after root", "<a/><!DOCTYPE a>"},
        Malformed{"two DOCTYPEs", "<!DOCTYPE a><!DOCTYPE a><a/>"},
        Malformed{"unterminated internal subset", "<!DOCTYPE a [ <!ENTITY x 'y'> <a/>"},
        Malformed{"unterminated comment", "<a><!-- </a>"}, Malformed{"unterminated CDATA", "<a><![CDATA[</a>"},
        Malformed{"unterminated start tag", "<a x='1'"}, Malformed{"unknown declaration", "<a><!ELEMENT a ANY></a>"},
        Malformed{"control character", "<a>\x01</a>"}));

TEST(XmlMalformed, ReasonNamesTheLineAndTheFault) {
    const LoadResult result = LoadXmlDocument("<Server>\r\n  <Service>\r\n  </Server>\r\n");
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error.find("line 3"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("</Server>"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace qm::xml

// Qualified names, local names and the namespace URIs xmlns declarations
// give them.
#include <gtest/gtest.h>

#include "xml/document.h"

namespace qm::xml {
namespace {

TEST(XmlNames, PrefixedAndDefaultNamespacesResolvePerScope) {
    const LoadResult loaded = LoadXmlDocument(
        "<s:Server xmlns:s='urn:server' xmlns='urn:default'>"
        "<Service><s:Connector/></Service><Plain xmlns=''/><s:Other xmlns:s='urn:inner'/></s:Server>");
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    const XmlDocument& document = *loaded.document;
    const XmlNodeId server = *document.FirstChild(document.DocumentNode());
    EXPECT_EQ(document.NodeName(server), "s:Server");
    EXPECT_EQ(document.LocalName(server), "Server");
    EXPECT_EQ(document.NamespaceUri(server), "urn:server");

    const std::vector<XmlNodeId> children = document.ChildNodes(server);
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(document.LocalName(children[0]), "Service");
    EXPECT_EQ(document.NamespaceUri(children[0]), "urn:default");
    const XmlNodeId connector = *document.FirstChild(children[0]);
    EXPECT_EQ(document.NodeName(connector), "s:Connector");
    EXPECT_EQ(document.NamespaceUri(connector), "urn:server");
    EXPECT_EQ(document.NamespaceUri(children[1]), "");
    EXPECT_EQ(document.NamespaceUri(children[2]), "urn:inner");
}

TEST(XmlNames, ABindingEndsWithItsElement) {
    const LoadResult loaded = LoadXmlDocument("<r><a xmlns:p='urn:p'><p:x/></a><p:y/></r>");
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.error.find("prefix p"), std::string::npos) << loaded.error;
}

TEST(XmlNames, NoNamespaceWithoutDeclarations) {
    const LoadResult loaded = LoadXmlDocument("<Server><Service/></Server>");
    ASSERT_TRUE(loaded.ok());
    const XmlNodeId server = *loaded.document->FirstChild(loaded.document->DocumentNode());
    EXPECT_EQ(loaded.document->LocalName(server), "Server");
    EXPECT_EQ(loaded.document->NamespaceUri(server), "");
}

TEST(XmlNames, TheXmlPrefixNeedsNoDeclaration) {
    const LoadResult loaded = LoadXmlDocument("<r xml:lang='zh'/>");
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    const XmlNodeId root = *loaded.document->FirstChild(loaded.document->DocumentNode());
    EXPECT_EQ(loaded.document->GetAttribute(root, "xml:lang"), "zh");
}

TEST(XmlNames, TextAndCommentsHaveNoLocalName) {
    const LoadResult loaded = LoadXmlDocument("<r>t<!--c--></r>");
    ASSERT_TRUE(loaded.ok());
    const XmlNodeId root = *loaded.document->FirstChild(loaded.document->DocumentNode());
    for (XmlNodeId child : loaded.document->ChildNodes(root)) EXPECT_EQ(loaded.document->LocalName(child), "");
}

TEST(XmlNames, NonAsciiNamesAreNames) {
    const LoadResult loaded = LoadXmlDocument("<服务 端口='80'/>");
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    const XmlNodeId root = *loaded.document->FirstChild(loaded.document->DocumentNode());
    EXPECT_EQ(loaded.document->NodeName(root), "服务");
    EXPECT_EQ(loaded.document->GetAttribute(root, "端口"), "80");
}

class XmlBadNamespace : public ::testing::TestWithParam<const char*> {};

TEST_P(XmlBadNamespace, IsALoadFailure) {
    const LoadResult loaded = LoadXmlDocument(GetParam());
    EXPECT_FALSE(loaded.ok()) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Declarations, XmlBadNamespace,
                         ::testing::Values("<p:a/>", "<a p:x='1'/>", "<a:b:c xmlns:a='u'/>", "<:a/>",
                                           "<a: xmlns:a='u'/>", "<a xmlns:p=''/>", "<a xmlns:xmlns='u'/>",
                                           "<a xmlns:xml='urn:other'/>",
                                           "<a xmlns='http://www.w3.org/XML/1998/namespace'/>", "<xmlns:a/>"));

}  // namespace
}  // namespace qm::xml

// Character references, the five predefined entities, and the entities
// that are never expanded.
#include <gtest/gtest.h>

#include "xml/document.h"

namespace qm::xml {
namespace {

XmlNodeId Root(const XmlDocument& document) {
    for (XmlNodeId child : document.ChildNodes(document.DocumentNode())) {
        if (document.Kind(child) == XmlNodeKind::Element) return child;
    }
    return document.DocumentNode();
}

TEST(XmlReferences, PredefinedEntitiesAndCharacterReferencesResolve) {
    const LoadResult loaded = LoadXmlDocument("<r a='&lt;&gt;&amp;&apos;&quot;'>&#20013;&#x6587;&#x1F600;&amp;lt;</r>");
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    const XmlDocument& document = *loaded.document;
    EXPECT_EQ(document.GetAttribute(Root(document), "a"), "<>&'\"");
    EXPECT_EQ(document.Value(*document.FirstChild(Root(document))), "中文\xF0\x9F\x98\x80&lt;");
}

TEST(XmlReferences, AttributeWhitespaceBecomesBlanksButReferencesStay) {
    const LoadResult loaded = LoadXmlDocument("<r a='x\r\ny\tz\n' b='&#9;&#10;&#13;'/>");
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.document->GetAttribute(Root(*loaded.document), "a"), "x y z ");
    EXPECT_EQ(loaded.document->GetAttribute(Root(*loaded.document), "b"), "\t\n\r");
}

TEST(XmlReferences, TextLineEndsAreNormalised) {
    const LoadResult loaded = LoadXmlDocument("<r>a\r\nb\rc&#13;</r>");
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(loaded.document->Value(*loaded.document->FirstChild(Root(*loaded.document))), "a\nb\nc\r");
}

TEST(XmlReferences, ReferencesAreNotResolvedInCommentsOrCData) {
    const LoadResult loaded = LoadXmlDocument("<r><!-- &nbsp; --><![CDATA[&undefined;]]></r>");
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    const std::vector<XmlNodeId> children = loaded.document->ChildNodes(Root(*loaded.document));
    EXPECT_EQ(loaded.document->Value(children[0]), " &nbsp; ");
    EXPECT_EQ(loaded.document->Value(children[1]), "&undefined;");
}

TEST(XmlReferences, AnUndefinedEntityIsALoadFailure) {
    const LoadResult loaded = LoadXmlDocument("<r>&nbsp;</r>");
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.error.find("&nbsp;"), std::string::npos) << loaded.error;
}

TEST(XmlReferences, EntitiesDeclaredInTheDoctypeAreNeverExpanded) {
    const LoadResult loaded = LoadXmlDocument("<!DOCTYPE r [<!ENTITY a 'x'><!ENTITY b '&a;&a;&a;&a;'>]><r>&b;</r>");
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.error.find("not expanded"), std::string::npos) << loaded.error;
}

TEST(XmlReferences, AnEntityReferenceInAnAttributeFailsToo) {
    EXPECT_FALSE(LoadXmlDocument("<!DOCTYPE r [<!ENTITY a 'x'>]><r v='&a;'/>").ok());
}

class XmlBadReference : public ::testing::TestWithParam<const char*> {};

TEST_P(XmlBadReference, IsALoadFailure) { EXPECT_FALSE(LoadXmlDocument(GetParam()).ok()) << GetParam(); }

INSTANTIATE_TEST_SUITE_P(Malformed, XmlBadReference,
                         ::testing::Values("<r>&#0;</r>", "<r>&#x1;</r>", "<r>&#xD800;</r>", "<r>&#xFFFE;</r>",
                                           "<r>&#x110000;</r>", "<r>&#99999999999;</r>", "<r>&#;</r>", "<r>&#x;</r>",
                                           "<r>&#12a;</r>", "<r>& x</r>", "<r>&amp</r>", "<r a='&'/>", "<r>&1x;</r>"));

}  // namespace
}  // namespace qm::xml

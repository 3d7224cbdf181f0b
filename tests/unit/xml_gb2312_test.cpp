// Writing GB2312 proper: what it cannot hold becomes a character reference
// where XML allows one, and refuses the save anywhere else.
#include <gtest/gtest.h>

#include <string>

#include "xml/document.h"
#include "text/gb_codec.h"

namespace qm::xml {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"GB2312\"?>";

// Loads a body already in GB2312 and saves it unchanged.
SaveResult SaveUnchanged(std::string_view body) {
    const LoadResult loaded = LoadXmlDocument(kDeclaration + std::string(body));
    EXPECT_TRUE(loaded.ok()) << loaded.error;
    if (!loaded.ok()) return {};
    return loaded.document->SaveAsGb2312();
}

// Loads UTF-8 text, declares it GB2312 and saves it.
SaveResult RoundTrip(std::string_view utf8Body) {
    LoadResult loaded = LoadXmlDocument(std::string(utf8Body));
    EXPECT_TRUE(loaded.ok()) << loaded.error;
    if (!loaded.ok()) return {};
    loaded.document->SetGb2312Declaration();
    return loaded.document->SaveAsGb2312();
}

std::string Body(const SaveResult& saved) {
    EXPECT_TRUE(saved.ok()) << saved.error;
    const std::size_t start = saved.bytes.find("?>");
    return start == std::string::npos ? saved.bytes : saved.bytes.substr(start + 4);
}

TEST(XmlGb2312, ChineseTextIsWrittenAsEucCnBytes) {
    EXPECT_EQ(Body(RoundTrip("<r a='端口'><!-- 中文 -->文</r>")),
              "<r a='\xB6\xCB\xBF\xDA'><!-- \xD6\xD0\xCE\xC4 -->\xCE\xC4</r>");
}

TEST(XmlGb2312, CharactersOutsideGb2312BecomeReferencesInTextAndAttributeValues) {
    // 镕 is GBK-only, ⅰ is a GBK code inside the EUC-CN byte ranges, € has no
    // code at all, 😀 is outside the BMP.
    EXPECT_EQ(Body(RoundTrip("<r a='镕ⅰ'>€😀中</r>")), "<r a='&#x9555;&#x2170;'>&#x20AC;&#x1F600;\xD6\xD0</r>");
}

TEST(XmlGb2312, ANewValueWithSuchCharactersIsWrittenAsReferences) {
    LoadResult loaded = LoadXmlDocument("<r a='1'/>");
    ASSERT_TRUE(loaded.ok());
    std::string reason;
    ASSERT_TRUE(loaded.document->SetAttribute(*loaded.document->FirstChild(loaded.document->DocumentNode()), "a",
                                              "镕中", reason));
    loaded.document->SetGb2312Declaration();
    EXPECT_EQ(Body(loaded.document->SaveAsGb2312()), "<r a='&#x9555;\xD6\xD0'/>");
}

class XmlGb2312Refusal : public ::testing::TestWithParam<const char*> {};

TEST_P(XmlGb2312Refusal, RefusesTheSaveAndWritesNothing) {
    const SaveResult saved = RoundTrip(GetParam());
    EXPECT_FALSE(saved.ok()) << GetParam();
    EXPECT_TRUE(saved.bytes.empty());
    EXPECT_NE(saved.error.find("U+9555"), std::string::npos) << saved.error;
}

INSTANTIATE_TEST_SUITE_P(WhereNoReferenceIsAllowed, XmlGb2312Refusal,
                         ::testing::Values("<r><!-- 镕 --></r>", "<r><![CDATA[镕]]></r>", "<r><?pi 镕?></r>", "<镕/>",
                                           "<r 镕='1'/>", "<!DOCTYPE r [<!ENTITY e '镕'>]><r/>", "<!-- 镕 --><r/>"));

TEST(XmlGb2312, TheRefusalSaysWhichLine) {
    const SaveResult saved = RoundTrip("<r>\n<!-- ok -->\n<!-- 镕 -->\n</r>");
    EXPECT_NE(saved.error.find("line 3"), std::string::npos) << saved.error;
}

TEST(XmlGb2312, OnlyTheEucCnRangesOfGbkAreUsed) {
    EXPECT_EQ(text::Gb2312CodeFor(U'中'), 0xD6D0);
    EXPECT_EQ(text::Gb2312CodeFor(U'齄'), 0xF7FE);  // the last code of GB2312
    EXPECT_EQ(text::Gb2312CodeFor(U'é'), 0xA8A6);
    EXPECT_FALSE(text::Gb2312CodeFor(U'镕'));      // GBK E946: trail below 0xA1
    EXPECT_FALSE(text::Gb2312CodeFor(U'\u2170'));  // GBK A2A1: inside the ranges, not GB2312
    EXPECT_FALSE(text::Gb2312CodeFor(U'\uE000'));  // user-defined area
    EXPECT_FALSE(text::Gb2312CodeFor(U'€'));
}

TEST(XmlGb2312, TheMiddleDotAndTheDashAreWrittenOnlyAsTheyReadBack) {
    EXPECT_EQ(text::Gb2312CodeFor(U'\u00B7'), 0xA1A4);
    EXPECT_EQ(text::Gb2312CodeFor(U'\u2014'), 0xA1AA);
    // GB2312's own readings of those codes: a file labelled GB2312 is read
    // as GBK, which would turn them into the two above.
    EXPECT_FALSE(text::Gb2312CodeFor(U'\u30FB'));
    EXPECT_FALSE(text::Gb2312CodeFor(U'\u2015'));
}

TEST(XmlGb2312, TheKatakanaMiddleDotAndTheHorizontalBarReadBackAsThemselves) {
    const SaveResult saved = RoundTrip("<r a='\u2015\u00B7'>\u30FB\u2014</r>");
    EXPECT_EQ(Body(saved), "<r a='&#x2015;\xA1\xA4'>&#x30FB;\xA1\xAA</r>");
    const LoadResult reloaded = LoadXmlDocument(saved.bytes);
    ASSERT_TRUE(reloaded.ok()) << reloaded.error;
    const XmlDocument& document = *reloaded.document;
    const XmlNodeId root = document.ChildNodes(document.DocumentNode()).back();
    EXPECT_EQ(document.GetAttribute(root, "a"), "\u2015\u00B7");
    EXPECT_EQ(std::string(document.Value(*document.FirstChild(root))), "\u30FB\u2014");
}

TEST(XmlGb2312, AFileAlreadyInGb2312IsWrittenBackByteForByte) {
    const std::string body = "\r\n<!-- \xB6\xCB\xBF\xDA -->\r\n<r a=\"\xD6\xD0\">\xCE\xC4</r>\r\n";
    EXPECT_EQ(SaveUnchanged(body).bytes, kDeclaration + body);
}

}  // namespace
}  // namespace qm::xml

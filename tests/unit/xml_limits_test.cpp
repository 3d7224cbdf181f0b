// Hostile and broken input: deep nesting, huge files, garbage and
// truncation fail to load; none of them may crash or overflow the stack.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "xml/document.h"
#include "xml/limits.h"

namespace qm::xml {
namespace {

std::string Nested(std::size_t depth) {
    std::string text;
    text.reserve(depth * 7);
    for (std::size_t i = 0; i < depth; ++i) text += "<a>";
    for (std::size_t i = 0; i < depth; ++i) text += "</a>";
    return text;
}

TEST(XmlLimits, NestingUpToTheLimitLoadsAndIsDestroyedWithoutRecursion) {
    const LoadResult loaded = LoadXmlDocument(Nested(kMaxNestingDepth));
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    std::size_t depth = 0;
    for (auto node = loaded.document->FirstChild(loaded.document->DocumentNode()); node;
         node = loaded.document->FirstChild(*node)) {
        ++depth;
    }
    EXPECT_EQ(depth, kMaxNestingDepth);
}

TEST(XmlLimits, NestingPastTheLimitIsALoadFailure) {
    const LoadResult loaded = LoadXmlDocument(Nested(kMaxNestingDepth + 1));
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.error.find("nested"), std::string::npos) << loaded.error;
}

TEST(XmlLimits, AMillionOpenTagsFailQuickly) {
    std::string text;
    for (int i = 0; i < 1000000; ++i) text += "<a>";
    EXPECT_FALSE(LoadXmlDocument(text).ok());
}

TEST(XmlLimits, InputOverTheSizeLimitIsRefusedBeforeParsing) {
    std::string text = "<r>";
    text.resize(kMaxDocumentBytes + 1, 'x');
    const LoadResult loaded = LoadXmlDocument(text);
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.error.find("MB"), std::string::npos) << loaded.error;
}

TEST(XmlLimits, AHugeAttributeWithinTheLimitLoads) {
    const std::string value(8 * 1024 * 1024, 'v');
    const LoadResult loaded = LoadXmlDocument("<r a='" + value + "'/>");
    ASSERT_TRUE(loaded.ok()) << loaded.error;
    EXPECT_EQ(loaded.document->GetAttribute(*loaded.document->FirstChild(loaded.document->DocumentNode()), "a"), value);
}

TEST(XmlLimits, TooManyAttributesOnOneElementFail) {
    std::string text = "<r";
    for (std::size_t i = 0; i <= kMaxAttributesPerElement; ++i) text += " a" + std::to_string(i) + "='1'";
    EXPECT_FALSE(LoadXmlDocument(text + "/>").ok());
}

TEST(XmlLimits, RandomBytesNeverLoad) {
    std::mt19937 random(20240601);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(1 + random() % 2000, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        const LoadResult loaded = LoadXmlDocument(bytes);
        EXPECT_FALSE(loaded.ok());
        EXPECT_FALSE(loaded.error.empty());
    }
}

TEST(XmlLimits, EveryTruncationOfADocumentFails) {
    const std::string text =
        "<?xml version='1.0' encoding='UTF-8'?>\r\n<!DOCTYPE s [<!ENTITY e 'x'>]>\r\n"
        "<Server port=\"8005\"><!-- c --><Service><![CDATA[x]]><?pi d?>&amp;&#x4E2D;</Service></Server>";
    ASSERT_TRUE(LoadXmlDocument(text).ok());
    for (std::size_t length = 0; length < text.size(); ++length) {
        EXPECT_FALSE(LoadXmlDocument(text.substr(0, length)).ok()) << length;
    }
}

}  // namespace
}  // namespace qm::xml

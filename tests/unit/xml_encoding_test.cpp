// Reading the encodings a server.xml may come in: by byte order mark or by
// the encoding its declaration names.
#include <gtest/gtest.h>

#include <string>

#include "xml/document.h"

namespace qm::xml {
namespace {

using namespace std::string_literals;

std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// The text of the root element's first child, or the load error.
std::string RootText(std::string_view bytes) {
    const LoadResult loaded = LoadXmlDocument(bytes);
    if (!loaded.ok()) return "error: " + loaded.error;
    const XmlDocument& document = *loaded.document;
    for (XmlNodeId child : document.ChildNodes(document.DocumentNode())) {
        if (document.Kind(child) == XmlNodeKind::Element) return document.Value(*document.FirstChild(child));
    }
    return "no root";
}

TEST(XmlEncodings, Utf8WithAndWithoutByteOrderMark) {
    EXPECT_EQ(RootText("<r>中文</r>"), "中文");
    EXPECT_EQ(RootText("\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?><r>中文</r>"), "中文");
}

TEST(XmlEncodings, Utf16ByByteOrderMarkInBothByteOrders) {
    EXPECT_EQ(RootText("\xFF\xFE"s + Utf16(u"<?xml version='1.0' encoding='UTF-16'?><r>中\U0001F600</r>", false)),
              "中\xF0\x9F\x98\x80");
    EXPECT_EQ(RootText("\xFE\xFF"s + Utf16(u"<r>中</r>", true)), "中");
}

TEST(XmlEncodings, Utf16WithoutByteOrderMarkNeedsItsDeclaration) {
    EXPECT_EQ(RootText(Utf16(u"<?xml version='1.0' encoding='UTF-16LE'?><r>中</r>", false)), "中");
    EXPECT_EQ(RootText(Utf16(u"<?xml version='1.0' encoding='UTF-16'?><r>中</r>", true)), "中");
}

TEST(XmlEncodings, Gb2312AndGbkByDeclaration) {
    EXPECT_EQ(RootText("<?xml version=\"1.0\" encoding=\"GB2312\"?><r>\xD6\xD0\xCE\xC4</r>"), "中文");
    // E9 46 is a GBK extension outside GB2312; a GB2312 label is read as GBK.
    EXPECT_EQ(RootText("<?xml version=\"1.0\" encoding=\"gb2312\"?><r>\xE9\x46</r>"), "镕");
    EXPECT_EQ(RootText("<?xml version=\"1.0\" encoding=\"GBK\"?><r>\xE9\x46\x80</r>"), "镕€");
}

TEST(XmlEncodings, Gb18030FourByteSequencesAcrossUnicode) {
    EXPECT_EQ(RootText("<?xml version='1.0' encoding='GB18030'?><r>\x81\x30\x81\x30\x84\x31\x87\x30\x94\x39\xFC\x36"
                       "\xA2\xE3</r>"),
              "\xC2\x80ﹰ\xF0\x9F\x98\x80€");
}

TEST(XmlEncodings, SingleByteEncodings) {
    EXPECT_EQ(RootText("<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9\x80</r>"), "é\xC2\x80");
    EXPECT_EQ(RootText("<?xml version='1.0' encoding='windows-1252'?><r>\x80\x92</r>"), "€’");
    EXPECT_EQ(RootText("<?xml version='1.0' encoding='US-ASCII'?><r>plain</r>"), "plain");
}

class XmlUnreadable : public ::testing::TestWithParam<std::string> {};

TEST_P(XmlUnreadable, IsALoadFailureWithAReason) {
    const LoadResult loaded = LoadXmlDocument(GetParam());
    EXPECT_FALSE(loaded.ok());
    EXPECT_FALSE(loaded.error.empty());
}

INSTANTIATE_TEST_SUITE_P(Encodings, XmlUnreadable,
                         ::testing::Values("<?xml version='1.0' encoding='EBCDIC-US'?><r/>"s,
                                           "<?xml version='1.0' encoding='US-ASCII'?><r>\xE9</r>"s,
                                           "<?xml version='1.0' encoding='windows-1252'?><r>\x81</r>"s,
                                           "<?xml version='1.0' encoding='GBK'?><r>\xD6</r>"s,
                                           "<?xml version='1.0' encoding='GBK'?><r>\xA1\x7F</r>"s,
                                           "<?xml version='1.0' encoding='GB18030'?><r>\x84\x31\xA5\x30</r>"s,
                                           "<?xml version='1.0' encoding='GB18030'?><r>\x81\x30\x81</r>"s,
                                           "<?xml version='1.0' encoding='UTF-16'?><r/>"s,
                                           "\xEF\xBB\xBF<?xml version='1.0' encoding='GB2312'?><r/>"s,
                                           "\xFF\xFE"s + Utf16(u"<?xml version='1.0' encoding='UTF-8'?><r/>", false),
                                           "\xFF\xFE"s + Utf16(u"<r>", false) + "\x00\xD8"s + Utf16(u"</r>", false),
                                           "\xFF\xFE\x00\x00<\x00\x00\x00"s, "<r>\xC3</r>"s, "<r>\xC0\xAF</r>"s,
                                           "<r>\xED\xA0\x80</r>"s, "<r>\xEF\xBF\xBE</r>"s));

TEST(XmlEncodings, SourceEncodingTellsWhatTheBytesWereReadAs) {
    EXPECT_EQ(LoadXmlDocument("<r/>").document->SourceEncoding(), "UTF-8");
    EXPECT_EQ(LoadXmlDocument("<?xml version='1.0' encoding='GB2312'?><r/>").document->SourceEncoding(), "GBK");
}

}  // namespace
}  // namespace qm::xml

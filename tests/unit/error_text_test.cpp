#include "ui/error_text.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ErrorBoxText, AddsAFullStopAfterCharactersThatSortAboveIt) {
    EXPECT_EQ(ErrorBoxText("Access denied"), "Access denied.");
    EXPECT_EQ(ErrorBoxText("Error 5"), "Error 5.");
    EXPECT_EQ(ErrorBoxText("路径无效"), "路径无效.");
}

TEST(ErrorBoxText, LeavesTextEndingInPunctuationAtOrBelowTheFullStop) {
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("Failed!"), "Failed!");
    EXPECT_EQ(ErrorBoxText("a-"), "a-");
    EXPECT_EQ(ErrorBoxText("ends with a blank "), "ends with a blank ");
}

TEST(ErrorBoxText, LeavesEmptyTextEmpty) { EXPECT_EQ(ErrorBoxText(""), ""); }

}  // namespace
}  // namespace qm

#include "ui/form_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace qm::ui {
namespace {

TEST(ScaleToDpi, KeepsDesignPixelsAt96AndRoundsToNearestElsewhere) {
    EXPECT_EQ(ScaleToDpi(377, 96), 377);
    EXPECT_EQ(ScaleToDpi(377, 192), 754);
    EXPECT_EQ(ScaleToDpi(377, 120), 471);  // 471.25
    EXPECT_EQ(ScaleToDpi(35, 144), 53);    // 52.5 rounds up
    EXPECT_EQ(ScaleToDpi(185, 168), 324);  // 323.75
    EXPECT_EQ(ScaleToDpi(0, 144), 0);
    EXPECT_EQ(ScaleToDpi(-13, 144), -20);  // font heights are negative: symmetric rounding
}

TEST(CentredOnScreen, HalvesTheFreeSpaceTruncatingTowardZero) {
    EXPECT_EQ(CentredOnScreen(1024, 768, 383, 392).x, 320);  // 641 / 2
    EXPECT_EQ(CentredOnScreen(1024, 768, 383, 392).y, 188);
    EXPECT_EQ(CentredOnScreen(1920, 1080, 384, 400).x, 768);
    // A window larger than the screen: -201 / 2 is -100, not -101.
    EXPECT_EQ(CentredOnScreen(100, 100, 301, 301).x, -100);
    EXPECT_EQ(CentredOnScreen(100, 100, 301, 301).y, -100);
}

TEST(MainWindowControls, HasUniquelyNamedControlsWhoseParentsComeFirst) {
    std::set<std::string> seen;
    for (const auto& c : MainWindowControls()) {
        if (!c.parent.empty()) EXPECT_TRUE(seen.count(std::string(c.parent))) << c.name << " before its parent";
        EXPECT_TRUE(seen.insert(std::string(c.name)).second) << "duplicate " << c.name;
    }
}

// Keyboard focus follows creation order, so within each parent the controls
// that take the focus must be created in ascending tab order.
TEST(MainWindowControls, CreatesFocusableSiblingsInTabOrder) {
    std::map<std::string, int> lastTabOrder;
    for (const auto& c : MainWindowControls()) {
        if (c.tabOrder < 0) continue;
        const auto parent = std::string(c.parent);
        const auto last = lastTabOrder.find(parent);
        if (last != lastTabOrder.end())
            EXPECT_EQ(c.tabOrder, last->second + 1) << c.name;
        else
            EXPECT_EQ(c.tabOrder, 0) << c.name;
        lastTabOrder[parent] = c.tabOrder;
    }
}

TEST(MainWindowControls, PutsTheDiagnosisPageBetweenSqlServerAndAboutWithItsReportAndTwoButtons) {
    std::vector<std::string> pages;
    std::vector<std::pair<ControlKind, std::string>> onPage;
    for (const auto& c : MainWindowControls()) {
        if (c.kind == ControlKind::Page) pages.emplace_back(c.caption);
        if (c.parent == "DiagnosisTabSheet") onPage.emplace_back(c.kind, std::string(c.caption));
    }
    EXPECT_EQ(pages, (std::vector<std::string>{"Apache Tomcat", "IE浏览器", "运行环境", "SQL Server", "诊断", "关于"}));
    EXPECT_EQ(onPage, (std::vector<std::pair<ControlKind, std::string>>{{ControlKind::Label, ""},
                                                                        {ControlKind::ReportList, ""},
                                                                        {ControlKind::ReadOnlyText, ""},
                                                                        {ControlKind::Button, "开始诊断"},
                                                                        {ControlKind::Button, "复制结果"}}));
}

// The diagnosis page's controls stack from the summary down to the buttons,
// none covering another.
TEST(MainWindowControls, StacksTheDiagnosisPageWithoutOverlap) {
    std::vector<const ControlSpec*> stacked;
    for (const auto& c : MainWindowControls())
        if (c.parent == "DiagnosisTabSheet" && c.kind != ControlKind::Button) stacked.push_back(&c);
    ASSERT_EQ(stacked.size(), 3u);
    int buttonsTop = 0;
    for (const auto& c : MainWindowControls())
        if (c.name == "DiagnoseButton") buttonsTop = c.top;
    for (size_t i = 0; i < stacked.size(); ++i) {
        EXPECT_GT(stacked[i]->height, 0) << stacked[i]->name;
        const int bottom = stacked[i]->top + stacked[i]->height;
        const int next = i + 1 < stacked.size() ? stacked[i + 1]->top : buttonsTop;
        EXPECT_LE(bottom, next) << stacked[i]->name;
    }
}

}  // namespace
}  // namespace qm::ui

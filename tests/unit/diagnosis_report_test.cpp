#include "diagnosis/report.h"

#include <gtest/gtest.h>

namespace qm::diagnosis {
namespace {

TEST(StatusText, NamesEachStatus) {
    EXPECT_EQ(StatusText(Status::Ok), "正常");
    EXPECT_EQ(StatusText(Status::Notice), "注意");
    EXPECT_EQ(StatusText(Status::Error), "错误");
}

TEST(ReportText, PutsStatusItemAndExplanationOnALineEndedByCrLf) {
    const std::vector<Row> rows = {
        {Group::Java, "JAVA_HOME", Status::Ok, "C:\\jdk"},
        {Group::Ports, "端口 8080", Status::Error, "端口 8080 被 nginx.exe 占用"},
    };
    EXPECT_EQ(ReportText(rows), "正常\tJAVA_HOME\tC:\\jdk\r\n错误\t端口 8080\t端口 8080 被 nginx.exe 占用\r\n");
}

}  // namespace
}  // namespace qm::diagnosis

namespace qm::diagnosis {
namespace {

Row RowWith(Status status, std::string item = "项") { return {Group::Java, std::move(item), status, "说明"}; }

TEST(SummaryText, CountsErrorsAndNotices) {
    const std::vector<Row> rows = {RowWith(Status::Notice), RowWith(Status::Error), RowWith(Status::Ok),
                                   RowWith(Status::Error)};
    EXPECT_EQ(SummaryText(rows), "发现 2 个错误、1 个注意");
}

TEST(SummaryText, NamesNoticesAloneWithNoErrors) {
    EXPECT_EQ(SummaryText({RowWith(Status::Notice), RowWith(Status::Ok)}), "发现 0 个错误、1 个注意");
}

TEST(SummaryText, EndsWithTheTimeOnThePageAndBeginsTheCopyWithDateAndTime) {
    const std::vector<Row> rows = {RowWith(Status::Error)};
    const ReportTime made{2026, 12, 9, 4, 5, 6};
    EXPECT_EQ(SummaryLine(rows, made), "发现 1 个错误、0 个注意 · 04:05:06");
    EXPECT_EQ(CopiedReport(rows, made), "发现 1 个错误、0 个注意 · 诊断时间 2026-12-09 04:05:06\r\n错误\t项\t说明\r\n");
}

TEST(SummaryText, SaysNothingWasFoundWhenAllIsWell) {
    EXPECT_EQ(SummaryText({RowWith(Status::Ok), RowWith(Status::Ok)}), "未发现问题");
    EXPECT_EQ(SummaryText({}), "未发现问题");
}

TEST(RowToShowFirst, IsTheFirstErrorEvenAfterNotices) {
    const std::vector<Row> rows = {RowWith(Status::Ok), RowWith(Status::Notice), RowWith(Status::Error),
                                   RowWith(Status::Error)};
    EXPECT_EQ(RowToShowFirst(rows), std::optional<std::size_t>(2));
}

TEST(RowToShowFirst, IsTheFirstNoticeWithoutErrors) {
    EXPECT_EQ(RowToShowFirst({RowWith(Status::Ok), RowWith(Status::Notice), RowWith(Status::Notice)}),
              std::optional<std::size_t>(1));
}

TEST(WorstStatus, IsAnErrorBelowTheRowOfARepair) {
    std::vector<Row> rows{RowWith(Status::Ok), RowWith(Status::Notice), RowWith(Status::Error), RowWith(Status::Ok)};
    rows.front().item = std::string(kRepairedItem);
    EXPECT_EQ(RowToShowFirst(rows), std::optional<std::size_t>(0));
    EXPECT_EQ(WorstStatus(rows), Status::Error);
    EXPECT_EQ(WorstStatus({RowWith(Status::Ok), RowWith(Status::Notice)}), Status::Notice);
    EXPECT_EQ(WorstStatus({}), std::nullopt);
}

TEST(RowToShowFirst, IsTheFirstRowWhenAllIsWellAndNoneWithoutRows) {
    EXPECT_EQ(RowToShowFirst({RowWith(Status::Ok), RowWith(Status::Ok)}), std::optional<std::size_t>(0));
    EXPECT_EQ(RowToShowFirst({}), std::nullopt);
}

TEST(DetailsText, PutsStatusAndItemAboveTheWholeExplanation) {
    const std::string explanation(400, 'x');
    EXPECT_EQ(DetailsText({Group::Tomcat, "tomcat6.exe", Status::Error, explanation}),
              "【错误】tomcat6.exe\r\n" + explanation);
}

}  // namespace
}  // namespace qm::diagnosis

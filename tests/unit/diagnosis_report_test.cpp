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

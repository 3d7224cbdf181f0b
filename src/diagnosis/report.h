#pragma once

// The diagnosis page's report: rows of item, status and explanation, grouped
// in the order the page shows them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnosis/fix.h"

namespace qm::diagnosis {

enum class Status { Ok, Notice, Error };

// The order of the groups is the order of the report.
enum class Group { ThisStart, Java, Tomcat, Ports, ServicesAndProcesses, SqlServer, Rights };

struct Row {
    Group group = Group::Java;
    std::string item;  // column "项目"
    Status status = Status::Ok;
    std::string explanation;  // column "说明"
    std::optional<Fix> fix;   // what "修复…" would do for this row
    bool operator==(const Row&) const = default;
};

// "正常", "注意", "错误".
std::string_view StatusText(Status status);

// The row a report begins with after a repair: what it changed.
inline constexpr std::string_view kRepairedItem = "本次修复";

// What "复制结果" puts on the clipboard: per row status, item and explanation
// separated by tabs, each line ended by CRLF.
std::string ReportText(const std::vector<Row>& rows);

// What the page's summary line says while the checks run.
inline constexpr std::string_view kDiagnosingText = "正在诊断…";

// The page's summary line for a report: "发现 N 个错误、M 个注意", or
// "未发现问题" when there is neither.
std::string SummaryText(const std::vector<Row>& rows);

// When a report was made, as the machine's clock shows it.
struct ReportTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
};

// The summary line as the page shows it, ending with the time the report
// was made: "发现 1 个错误、2 个注意 · 14:03:27".
std::string SummaryLine(const std::vector<Row>& rows, const ReportTime& made);

// What "复制结果" copies: the summary with the date and time it was made on
// the first line, then ReportText.
std::string CopiedReport(const std::vector<Row>& rows, const ReportTime& made);

// The row a reader wants first: the row of a repair just made, else the
// first error, else the first notice, else the first row; nothing for an
// empty report.
std::optional<std::size_t> RowToShowFirst(const std::vector<Row>& rows);

// What the report found at worst, for the summary's colour: the row shown
// first may be a repair's, while errors remain below it. Nothing without rows.
std::optional<Status> WorstStatus(const std::vector<Row>& rows);

// One row in full for the details box: status and item on the first line,
// the whole explanation below.
std::string DetailsText(const Row& row);

}  // namespace qm::diagnosis

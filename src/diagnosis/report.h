#pragma once

// The diagnosis page's report: rows of item, status and explanation, grouped
// in the order the page shows them.

#include <string>
#include <string_view>
#include <vector>

namespace qm::diagnosis {

enum class Status { Ok, Notice, Error };

// The order of the groups is the order of the report.
enum class Group { Java, Tomcat, Ports, ServicesAndProcesses, SqlServer, Rights };

struct Row {
    Group group = Group::Java;
    std::string item;  // column "项目"
    Status status = Status::Ok;
    std::string explanation;  // column "说明"
    bool operator==(const Row&) const = default;
};

// "正常", "注意", "错误".
std::string_view StatusText(Status status);

// What "复制结果" puts on the clipboard: per row status, item and explanation
// separated by tabs, each line ended by CRLF.
std::string ReportText(const std::vector<Row>& rows);

}  // namespace qm::diagnosis

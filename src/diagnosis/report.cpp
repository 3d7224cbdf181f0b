#include "diagnosis/report.h"

#include <algorithm>

namespace qm::diagnosis {

std::string_view StatusText(Status status) {
    switch (status) {
    case Status::Ok:
        return "正常";
    case Status::Notice:
        return "注意";
    case Status::Error:
        return "错误";
    }
    return "错误";
}

std::string ReportText(const std::vector<Row>& rows) {
    std::string text;
    for (const Row& row : rows) {
        text += StatusText(row.status);
        text += '\t';
        text += row.item;
        text += '\t';
        text += row.explanation;
        text += "\r\n";
    }
    return text;
}

std::string SummaryText(const std::vector<Row>& rows) {
    const auto count = [&](Status status) {
        return std::count_if(rows.begin(), rows.end(), [&](const Row& row) { return row.status == status; });
    };
    const auto errors = count(Status::Error);
    const auto notices = count(Status::Notice);
    if (errors == 0 && notices == 0) return "未发现问题";
    return "发现 " + std::to_string(errors) + " 个错误、" + std::to_string(notices) + " 个注意";
}

namespace {

std::string Two(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

std::string Clock(const ReportTime& made) { return Two(made.hour) + ":" + Two(made.minute) + ":" + Two(made.second); }

}  // namespace

std::string SummaryLine(const std::vector<Row>& rows, const ReportTime& made) {
    return SummaryText(rows) + " · " + Clock(made);
}

std::string CopiedReport(const std::vector<Row>& rows, const ReportTime& made) {
    return SummaryText(rows) + " · 诊断时间 " + std::to_string(made.year) + "-" + Two(made.month) + "-" + Two(made.day) +
           " " + Clock(made) + "\r\n" + ReportText(rows);
}

std::optional<std::size_t> RowToShowFirst(const std::vector<Row>& rows) {
    if (!rows.empty() && rows.front().item == kRepairedItem) return 0;
    for (const Status wanted : {Status::Error, Status::Notice}) {
        const auto found = std::find_if(rows.begin(), rows.end(), [&](const Row& row) { return row.status == wanted; });
        if (found != rows.end()) return static_cast<std::size_t>(found - rows.begin());
    }
    if (rows.empty()) return std::nullopt;
    return 0;
}

std::optional<Status> WorstStatus(const std::vector<Row>& rows) {
    std::optional<Status> worst;
    for (const Row& row : rows)
        if (!worst || static_cast<int>(row.status) > static_cast<int>(*worst)) worst = row.status;
    return worst;
}

std::string DetailsText(const Row& row) {
    // CR LF: the box is a Windows edit control, which breaks lines only there.
    return "【" + std::string(StatusText(row.status)) + "】" + row.item + "\r\n" + row.explanation;
}

}  // namespace qm::diagnosis

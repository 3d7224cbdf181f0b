#include "diagnosis/report.h"

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

}  // namespace qm::diagnosis

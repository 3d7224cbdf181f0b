// The newest file of each log family, searched from its end for the lines
// that say why Tomcat or its service failed. A running server writes its
// access log all the time, so the newest file overall rarely holds the cause.

#include <algorithm>
#include <array>
#include <cstdio>

#include "diagnosis/checks.h"
#include "diagnosis/log_events.h"
#include "diagnosis/log_growth.h"

namespace qm::diagnosis {
namespace {

constexpr std::size_t kLogTailBytes = 64 * 1024;
constexpr std::size_t kShownLineBytes = 300;
// A log full of one failure repeating gives one row; a handful of different
// known failures each get theirs.
constexpr std::size_t kKnownRowsPerFile = 4;

// Cut at a character boundary.
std::string Shortened(std::string text) {
    if (text.size() <= kShownLineBytes) return text;
    std::size_t end = kShownLineBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text + "…";
}

// A tail that was cut begins inside a line.
std::string_view FromLineStart(std::string_view tail, bool cut) {
    if (cut) tail.remove_prefix(std::min(tail.find('\n') + 1, tail.size()));
    return tail;
}

// The row of a family's log names the family: "日志 · catalina".
std::string LogItem(std::string_view family) {
    if (family.ends_with('.')) family.remove_suffix(1);
    return "日志 · " + std::string(family);
}

std::string TimeText(FileInspector& files, std::uint64_t lastWriteTime) {
    const std::optional<LocalTime> time = files.ToLocalTime(lastWriteTime);
    if (!time) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", time->year, time->month, time->day, time->hour,
                  time->minute);
    return text;
}

void CheckLogDirectory(FileInspector& files, const std::string& directory, const std::vector<std::string>& families,
                       const LogContext& context, GroupRows& rows) {
    const std::optional<std::vector<DirectoryItem>> items = files.List(directory);
    if (!items) {
        rows.Add("日志", Status::Notice, "无法读取日志目录 " + directory);
        return;
    }
    std::string quiet;
    bool anyFailure = false;
    for (const std::string& family : families) {
        const DirectoryItem* newest = nullptr;
        for (const DirectoryItem& item : *items)
            if (!item.directory && StartsFolded(item.name, family) &&
                (!newest || item.lastWriteTime > newest->lastWriteTime))
                newest = &item;
        if (!newest) continue;
        const std::string path = JoinPath(directory, newest->name);
        const std::string item = LogItem(family);
        const std::optional<std::string> tail = files.ReadTail(path, kLogTailBytes);
        if (!tail) {
            rows.Add(item, Status::Notice, "无法读取日志 " + path);
            anyFailure = true;
            continue;
        }
        const std::vector<FoundFailure> failures =
            FailuresIn(FromLineStart(*tail, tail->size() == kLogTailBytes), context, kKnownRowsPerFile);
        if (failures.empty()) {
            quiet += (quiet.empty() ? "" : "、") + newest->name;
            continue;
        }
        anyFailure = true;
        const std::string time = TimeText(files, newest->lastWriteTime);
        const std::string source = "最新的日志 " + path + (time.empty() ? " " : "（" + time + "）") + "中有：";
        for (const FoundFailure& failure : failures)
            rows.Add(item, Status::Notice,
                     (failure.explained ? failure.explained->explanation + "。" : std::string()) + source +
                         Shortened(failure.quoted));
    }
    if (!quiet.empty())
        rows.Add("日志", Status::Ok, directory + " 中最新的日志（" + quiet + "）末尾没有 SEVERE 或 Exception");
    else if (!anyFailure)
        rows.Add("日志", Status::Ok, directory + " 中没有日志文件");
}

}  // namespace

void CheckLogs(const Inspectors& inspectors, const Findings& findings, std::vector<Row>& rows) {
    GroupRows logs(rows, Group::ServicesAndProcesses);
    const std::vector<std::string> families = LogFamilies(findings.serviceLogPrefix, findings.serviceName);
    std::vector<std::string> directories;
    if (!findings.catalinaHome.empty() && inspectors.files.IsDirectory(findings.catalinaHome))
        directories.push_back(JoinPath(findings.catalinaHome, "logs"));
    // The runner makes its directory at its first start: none yet is no finding.
    if (!findings.serviceLogDirectory.empty() && inspectors.files.IsDirectory(findings.serviceLogDirectory) &&
        std::none_of(directories.begin(), directories.end(), [&](const std::string& directory) {
            return SameDirectory(directory, findings.serviceLogDirectory);
        }))
        directories.push_back(findings.serviceLogDirectory);
    const LogContext context{findings.installation.runner, findings.installation.version.major};
    for (const std::string& directory : directories)
        CheckLogDirectory(inspectors.files, directory, families, context, logs);
}

}  // namespace qm::diagnosis

// The newest file of each log family, searched from its end for the lines
// that say why Tomcat or its service failed. A running server writes its
// access log all the time, so the newest file overall rarely holds the cause.

#include <algorithm>
#include <array>
#include <cstdio>

#include "diagnosis/checks.h"
#include "diagnosis/log_failures.h"
#include "text/gb_codec.h"
#include "text/utf8.h"

namespace qm::diagnosis {
namespace {

constexpr std::size_t kLogTailBytes = 64 * 1024;
constexpr std::size_t kShownLineBytes = 300;
// A log full of one failure repeating gives one row; a handful of different
// known failures each get theirs.
constexpr std::size_t kKnownRowsPerFile = 4;
// What the service runner calls its own log when its settings name no prefix.
constexpr std::string_view kRunnerLogPrefix = "commons-daemon";

// Java's logging writes "严重" for SEVERE under a Chinese locale, in the
// system's code page (GBK) or in UTF-8.
constexpr std::array<std::string_view, 4> kFailureWords = {"SEVERE", "Exception", "严重", "\xD1\xCF\xD6\xD8"};

// A log line as readable UTF-8: as it is, else read as GBK, else with every
// byte past ASCII shown as '?'.
std::string Readable(std::string_view line) {
    if (text::IsUtf8(line)) return std::string(line);
    std::string utf8, reason;
    if (text::DecodeGb(line, text::GbVariant::Gbk, utf8, reason)) return utf8;
    std::string ascii(line);
    std::replace_if(
        ascii.begin(), ascii.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }, '?');
    return ascii;
}

// Cut at a character boundary.
std::string Shortened(std::string text) {
    if (text.size() <= kShownLineBytes) return text;
    std::size_t end = kShownLineBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text + "…";
}

struct FailureLine {
    std::string line;  // readable
    std::optional<std::string> explanation;
};

// Each known failure's last line in the order they last appear; without any,
// the last line with a failure word.
std::vector<FailureLine> FailureLines(std::string_view tail, bool cut) {
    // A tail that was cut begins inside a line.
    if (cut) tail.remove_prefix(std::min(tail.find('\n') + 1, tail.size()));
    std::vector<FailureLine> known;
    std::optional<std::string_view> other;
    for (std::string_view line : Lines(tail)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.empty()) continue;
        std::string readable = Readable(line);
        if (std::optional<std::string> explanation = ExplainFailureLine(readable)) {
            std::erase_if(known, [&](const FailureLine& seen) { return seen.explanation == explanation; });
            known.push_back({std::move(readable), std::move(explanation)});
        } else if (std::any_of(kFailureWords.begin(), kFailureWords.end(),
                               [&](std::string_view word) { return line.find(word) != std::string_view::npos; })) {
            other = line;
        }
    }
    if (!known.empty()) {
        if (known.size() > kKnownRowsPerFile) known.erase(known.begin(), known.end() - kKnownRowsPerFile);
        return known;
    }
    if (other) return {{Readable(*other), std::nullopt}};
    return {};
}

// The file names of a family begin with its name and a dot.
std::vector<std::string> Families(const Findings& findings) {
    std::vector<std::string> families = {findings.serviceLogPrefix.empty() ? std::string(kRunnerLogPrefix)
                                                                           : findings.serviceLogPrefix};
    if (!findings.serviceName.empty()) {
        families.push_back(findings.serviceName + "-stderr");
        families.push_back(findings.serviceName + "-stdout");
    }
    families.push_back("catalina");
    families.push_back("localhost");
    for (std::string& family : families) family += '.';
    return families;
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
                       GroupRows& rows) {
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
        const std::optional<std::string> tail = files.ReadTail(path, kLogTailBytes);
        if (!tail) {
            rows.Add("日志", Status::Notice, "无法读取日志 " + path);
            anyFailure = true;
            continue;
        }
        const std::vector<FailureLine> failures = FailureLines(*tail, tail->size() == kLogTailBytes);
        if (failures.empty()) {
            quiet += (quiet.empty() ? "" : "、") + newest->name;
            continue;
        }
        anyFailure = true;
        const std::string time = TimeText(files, newest->lastWriteTime);
        const std::string source = "最新的日志 " + path + (time.empty() ? " " : "（" + time + "）") + "中有：";
        for (const FailureLine& failure : failures)
            rows.Add(
                "日志", Status::Notice,
                (failure.explanation ? *failure.explanation + "。" : std::string()) + source + Shortened(failure.line));
    }
    if (!quiet.empty())
        rows.Add("日志", Status::Ok, directory + " 中最新的日志（" + quiet + "）末尾没有 SEVERE 或 Exception");
    else if (!anyFailure)
        rows.Add("日志", Status::Ok, directory + " 中没有日志文件");
}

}  // namespace

void CheckLogs(const Inspectors& inspectors, const Findings& findings, std::vector<Row>& rows) {
    GroupRows logs(rows, Group::ServicesAndProcesses);
    const std::vector<std::string> families = Families(findings);
    std::vector<std::string> directories;
    if (!findings.catalinaHome.empty() && inspectors.files.IsDirectory(findings.catalinaHome))
        directories.push_back(JoinPath(findings.catalinaHome, "logs"));
    // The runner makes its directory at its first start: none yet is no finding.
    if (!findings.serviceLogDirectory.empty() && inspectors.files.IsDirectory(findings.serviceLogDirectory) &&
        std::none_of(directories.begin(), directories.end(), [&](const std::string& directory) {
            return SameDirectory(directory, findings.serviceLogDirectory);
        }))
        directories.push_back(findings.serviceLogDirectory);
    for (const std::string& directory : directories) CheckLogDirectory(inspectors.files, directory, families, logs);
}

}  // namespace qm::diagnosis

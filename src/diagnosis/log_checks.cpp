// The newest log of CATALINA_HOME\logs, searched from its end for the line
// that says why Tomcat failed.

#include <algorithm>
#include <array>

#include "diagnosis/checks.h"
#include "xml/gb_codec.h"
#include "xml/unicode.h"

namespace qm::diagnosis {
namespace {

constexpr std::size_t kLogTailBytes = 64 * 1024;
constexpr std::size_t kShownLineBytes = 300;

// Java's logging writes "严重" for SEVERE under a Chinese locale, in the
// system's code page (GBK) or in UTF-8.
constexpr std::array<std::string_view, 4> kFailureWords = {"SEVERE", "Exception", "严重", "\xD1\xCF\xD6\xD8"};

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = xml::DecodeUtf8At(text, at, codePoint);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

// A log line as readable UTF-8: as it is, else read as GBK, else with every
// byte past ASCII shown as '?'.
std::string Readable(std::string_view line) {
    if (IsUtf8(line)) return std::string(line);
    std::string utf8, reason;
    if (xml::DecodeGb(line, xml::GbVariant::Gbk, utf8, reason)) return utf8;
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

std::optional<std::string_view> LastFailureLine(std::string_view tail, bool cut) {
    // A tail that was cut begins inside a line.
    if (cut) tail.remove_prefix(std::min(tail.find('\n') + 1, tail.size()));
    std::optional<std::string_view> found;
    for (std::string_view line : Lines(tail)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (std::any_of(kFailureWords.begin(), kFailureWords.end(),
                        [&](std::string_view word) { return line.find(word) != std::string_view::npos; }))
            found = line;
    }
    return found;
}

}  // namespace

void CheckLogs(FileInspector& files, const std::string& catalinaHome, GroupRows& rows) {
    const std::string directory = JoinPath(catalinaHome, "logs");
    const std::optional<std::vector<DirectoryItem>> items = files.List(directory);
    if (!items) {
        rows.Add("日志", Status::Notice, "无法读取日志目录 " + directory);
        return;
    }
    const DirectoryItem* newest = nullptr;
    for (const DirectoryItem& item : *items)
        if (!item.directory && (!newest || item.lastWriteTime > newest->lastWriteTime)) newest = &item;
    if (!newest) {
        rows.Add("日志", Status::Ok, directory + " 中没有日志文件");
        return;
    }
    const std::string path = JoinPath(directory, newest->name);
    const std::optional<std::string> tail = files.ReadTail(path, kLogTailBytes);
    if (!tail) {
        rows.Add("日志", Status::Notice, "无法读取最新的日志 " + path);
        return;
    }
    const std::optional<std::string_view> line = LastFailureLine(*tail, tail->size() == kLogTailBytes);
    if (line)
        rows.Add("日志", Status::Notice, "最新的日志 " + path + " 中有：" + Shortened(Readable(*line)));
    else
        rows.Add("日志", Status::Ok, "最新的日志 " + path + " 的末尾没有 SEVERE 或 Exception");
}

}  // namespace qm::diagnosis

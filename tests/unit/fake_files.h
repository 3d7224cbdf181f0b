#pragma once

// Files as a test wants them: paths mapped to what they hold, free of the
// test framework so the benchmark uses it too.

#include "platform/file_inspector.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qm::test {

class FakeFiles : public FileInspector {
public:
    std::set<std::string, std::less<>> directories;
    std::map<std::string, std::string, std::less<>> files;  // path -> contents
    std::map<std::string, std::vector<DirectoryItem>, std::less<>> listings;

    bool IsDirectory(std::string_view path) override { return directories.count(path) != 0; }
    bool IsFile(std::string_view path) override { return files.count(path) != 0; }
    bool Exists(std::string_view path) override { return IsDirectory(path) || IsFile(path); }
    std::optional<std::string> ReadHead(std::string_view path, std::size_t maxBytes) override {
        const auto found = files.find(path);
        if (found == files.end()) return std::nullopt;
        return found->second.substr(0, maxBytes);
    }
    std::optional<std::string> ReadTail(std::string_view path, std::size_t maxBytes) override {
        const auto found = files.find(path);
        if (found == files.end()) return std::nullopt;
        const std::string& text = found->second;
        return text.substr(text.size() - std::min(maxBytes, text.size()));
    }
    std::optional<std::vector<DirectoryItem>> List(std::string_view directory) override {
        const auto found = listings.find(directory);
        if (found == listings.end()) return std::nullopt;
        return found->second;
    }
    // The fake's write times are seconds since 1970, read as UTC.
    std::optional<LocalTime> ToLocalTime(std::uint64_t lastWriteTime) override {
        using namespace std::chrono;
        const sys_seconds moment{seconds(lastWriteTime)};
        const sys_days day = floor<days>(moment);
        const year_month_day date(day);
        const hh_mm_ss time(moment - day);
        return LocalTime{static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
                         static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(time.hours().count()),
                         static_cast<int>(time.minutes().count())};
    }
};

}  // namespace qm::test

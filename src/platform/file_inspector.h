#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct DirectoryItem {
    std::string name;  // file name, no directory
    bool directory = false;
    std::uint64_t lastWriteTime = 0;  // larger is newer; the unit is the platform's
    std::uint64_t size = 0;           // in bytes; 0 for a directory
};

// A moment as this machine's clock shows it.
struct LocalTime {
    int year = 0;
    int month = 0;  // 1 ... 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;  // 0 where only minutes are known
};

// The one read-side view of files: what is at a path, what a file holds and
// what a directory lists. Nothing here opens anything for writing.
class FileInspector {
public:
    virtual ~FileInspector() = default;
    virtual bool IsDirectory(std::string_view path) = 0;
    virtual bool IsFile(std::string_view path) = 0;
    // Whether anything is at path. When the system can't tell, it counts as
    // there, so a deletion is never reported done on a guess.
    virtual bool Exists(std::string_view path) = 0;
    // The first maxBytes bytes (fewer when the file is shorter); nothing when
    // the file can't be opened for reading.
    virtual std::optional<std::string> ReadHead(std::string_view path, std::size_t maxBytes) = 0;
    // The last maxBytes bytes, likewise.
    virtual std::optional<std::string> ReadTail(std::string_view path, std::size_t maxBytes) = 0;
    // The entries of a directory ("." and ".." left out); nothing when it
    // can't be listed.
    virtual std::optional<std::vector<DirectoryItem>> List(std::string_view directory) = 0;
    // A lastWriteTime of List in the machine's time zone; nothing when it
    // names no moment the system can show.
    virtual std::optional<LocalTime> ToLocalTime(std::uint64_t lastWriteTime) = 0;
    // Whether path begins with a drive letter that the system maps to a share
    // of another machine. A view with no drives of the system's has none.
    virtual bool OnNetworkDrive(std::string_view /*path*/) { return false; }
};

}  // namespace qm

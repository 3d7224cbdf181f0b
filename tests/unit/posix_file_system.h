// The file system port on this machine's own disk, so that the replacer's
// logic can be seen at work on real files natively. Permission bits stand in
// for the access rules, and a file its owner may not write counts as
// read-only, as the read-only attribute would on Windows; symbolic and hard
// links are the system's own.
#pragma once

#include "platform/file_inspector.h"
#include "platform/file_system.h"

namespace qm::test {

class PosixFileSystem final : public FileSystem {
public:
    FileStatus Inspect(const std::string& path, FileFacts& facts) override;
    std::vector<std::string> NamesIn(const std::string& directory) override;
    FileStatus Remove(const std::string& path) override;
    std::unique_ptr<NewFile> CreateNew(const std::string& path, const std::string& model, FileStatus& status) override;
    FileStatus MoveOver(const std::string& from, const std::string& to) override;
    void Pause(unsigned) override {}
};

// The read side on this machine's disk. Write times are the file system's
// own clock, which no test here shows, so none is turned into local time.
class PosixFileInspector : public FileInspector {
public:
    bool IsDirectory(std::string_view path) override;
    bool IsFile(std::string_view path) override;
    bool Exists(std::string_view path) override;
    std::optional<std::string> ReadHead(std::string_view path, std::size_t maxBytes) override;
    std::optional<std::string> ReadTail(std::string_view path, std::size_t maxBytes) override;
    std::optional<std::vector<DirectoryItem>> List(std::string_view directory) override;
    std::optional<LocalTime> ToLocalTime(std::uint64_t) override { return std::nullopt; }
};

}  // namespace qm::test

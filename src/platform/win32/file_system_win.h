#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace qm::win32 {

// Each step a call or two of the wide API: the file is looked at through a
// handle opened through any links (GetFileInformationByHandle,
// GetFinalPathNameByHandleW); the new file is created with CREATE_NEW and the
// old one's DACL in the same call, takes the old one's basic information
// (attributes, creation time) and owner through its own handle, and is
// renamed over the old one with MoveFileExW (MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH).
class WindowsFileSystem final : public FileSystem {
public:
    FileStatus Inspect(const std::string& path, FileFacts& facts) override;
    std::vector<std::string> NamesIn(const std::string& directory) override;
    FileStatus Remove(const std::string& path) override;
    std::unique_ptr<NewFile> CreateNew(const std::string& path, const std::string& model, FileStatus& status) override;
    FileStatus MoveOver(const std::string& from, const std::string& to) override;
    void Pause(unsigned milliseconds) override;
};

}  // namespace qm::win32

#pragma once

#include "platform/file_inspector.h"

namespace qm::win32 {

// Attributes, a read-only open that lets others read, write and delete
// meanwhile, and directory listings.
class Win32FileInspector final : public FileInspector {
public:
    bool IsDirectory(std::string_view path) override;
    bool IsFile(std::string_view path) override;
    bool Exists(std::string_view path) override;
    std::optional<std::string> ReadHead(std::string_view path, std::size_t maxBytes) override;
    std::optional<std::string> ReadTail(std::string_view path, std::size_t maxBytes) override;
    std::optional<std::vector<DirectoryItem>> List(std::string_view directory) override;
    std::optional<LocalTime> ToLocalTime(std::uint64_t lastWriteTime) override;
    bool OnNetworkDrive(std::string_view path) override;
};

}  // namespace qm::win32

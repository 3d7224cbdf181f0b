// Replacing a file's contents all at once. The new bytes go to a file of
// our own beside the old one, created with the old one's security, which
// takes over its attributes and is then renamed over it in one step: at every
// moment the path holds the old bytes or the new ones, whole, whenever the
// program stops. A symbolic link is followed to the file it names, and that
// file is replaced where it is, so the link stays a link.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace qm {

enum class ReplaceOutcome {
    Replaced,
    Failed,
    // The file has more than one name (hard links). A new file renamed into
    // one name would part it from the others, and writing into the file itself
    // could leave it half written, so it is left as it is.
    HasOtherNames,
};

class FileReplacer {
public:
    virtual ~FileReplacer() = default;

    // Replaces the existing file at path (UTF-8) with bytes. Refuses a
    // missing or read-only file. On failure the original is untouched and
    // reason says what went wrong.
    [[nodiscard]] virtual ReplaceOutcome Replace(const std::string& path, std::string_view bytes,
                                                 std::string& reason) = 0;
};

// The new file is named after the old one, "server.xml.qm-1a2b3c4d.tmp";
// one that a save cut short left behind is removed by the next save of that
// file. A failed save removes its own, unless the old file has gone and the
// new one is the last copy, which then stays and the reason says where.
class WholeFileReplacer final : public FileReplacer {
public:
    explicit WholeFileReplacer(FileSystem& files) noexcept : files_(files) {}
    [[nodiscard]] ReplaceOutcome Replace(const std::string& path, std::string_view bytes, std::string& reason) override;

private:
    [[nodiscard]] bool ReplaceFile(const std::string& path, std::string_view bytes, std::string& reason);

    FileSystem& files_;
};

// Whether name is one of the new files WholeFileReplacer makes for the file
// named original (in the same directory).
bool IsReplacementOf(std::string_view name, std::string_view original);

}  // namespace qm

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// How one step on the file system went. The code is the system's own error
// number, for the reason a failed save gives; the logic acts on the outcome.
enum class FileOutcome {
    Done,
    NameTaken,    // something already has that name
    InUse,        // another program holds the file; a later try may work
    Unsupported,  // the file system has no such thing (FAT keeps no security)
    Failed,
};

struct FileStatus {
    FileOutcome outcome = FileOutcome::Done;
    std::uint32_t code = 0;
    bool Done() const { return outcome == FileOutcome::Done; }
};

// What a path names, as far as replacing it is concerned: the file itself,
// reached through any symbolic links on the way.
struct FileFacts {
    bool exists = false;
    bool directory = false;
    bool readOnly = false;
    // Hard links count here: each is a name of the same file.
    std::uint32_t names = 1;
    // Where the file really is once every link has been followed; empty when
    // that is the path itself.
    std::string finalPath;
};

// A file just created and open for writing; closed when it goes.
class NewFile {
public:
    virtual ~NewFile() = default;
    [[nodiscard]] virtual FileStatus Write(std::string_view bytes) = 0;
    // The original's attributes (hidden, archive, ...) and creation time.
    [[nodiscard]] virtual FileStatus TakeAttributesOf(const std::string& original) = 0;
    [[nodiscard]] virtual FileStatus TakeOwnerOf(const std::string& original) = 0;
    // Until this is done the bytes may be only in memory.
    [[nodiscard]] virtual FileStatus Flush() = 0;
};

// The file system, one step at a time, for replacing a file whole. Paths are
// UTF-8; a directory is given with its trailing separator, or empty for the
// current one.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // A missing path is no failure: its facts say it does not exist.
    [[nodiscard]] virtual FileStatus Inspect(const std::string& path, FileFacts& facts) = 0;
    // The names of the entries of directory; none when it cannot be listed.
    virtual std::vector<std::string> NamesIn(const std::string& directory) = 0;
    // Removes the name at path itself: a link as the link, never the file it
    // leads to; never a directory.
    [[nodiscard]] virtual FileStatus Remove(const std::string& path) = 0;
    // Creates path, which must not exist yet, with the access rules (the
    // DACL) of the file model from its first moment, where the file system
    // keeps any: what is written into it is never open to more people than
    // could read model. Nothing unless the status is Done.
    virtual std::unique_ptr<NewFile> CreateNew(const std::string& path, const std::string& model,
                                               FileStatus& status) = 0;
    // Puts the file from in to's place in one step, replacing to, and returns
    // once that is on the disk. Either to is the old file or it is from. Both
    // are in one directory, which must still be the one to names when the
    // step is made: a folder on the way swapped for a link since fails it.
    [[nodiscard]] virtual FileStatus MoveOver(const std::string& from, const std::string& to) = 0;
    // Waits before a step is tried again.
    virtual void Pause(unsigned milliseconds) = 0;
};

}  // namespace qm

#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// What is at a path, seen without following a link there.
enum class PathKind {
    Missing,
    Directory,
    Link,   // a reparse point (a junction, a symbolic link or the like), to a directory or a file
    Other,  // a file, or something the system won't tell
};

class OpenedDirectory;

// An entry of a directory as the system lists it. Its name stays in UTF-16
// from the listing to the removal: a name that UTF-8 cannot carry (an
// unpaired surrogate, which NTFS allows) still names this entry and no other.
struct DirectoryEntry {
    std::u16string name;
    PathKind kind = PathKind::Other;
};

// What opening a directory found at a name, by the handle opened there.
struct FoundDirectory {
    PathKind kind = PathKind::Other;
    std::unique_ptr<OpenedDirectory> directory;  // only for a plain directory that opened
};

// A plain directory held open. While held it can't be renamed, deleted or
// swapped for a link by anybody else; what is below it is reached through it,
// relative to the handle, never by a path looked up again.
class OpenedDirectory {
public:
    virtual ~OpenedDirectory() = default;
    // The entries ("." and ".." left out); nothing when it can't be listed.
    virtual std::optional<std::vector<DirectoryEntry>> Entries() = 0;
    // The entry name below this one, opened without following a link there.
    virtual FoundDirectory OpenDirectory(std::u16string_view name) = 0;
    // Removes the entry name below this one through a handle opened on the
    // entry itself: a link as the link, never what it leads to; a file as
    // itself. Refuses a directory, and a link that the system can only
    // follow. True also when nothing of that name is there any more.
    virtual bool RemoveEntry(std::u16string_view name) = 0;
    // Removes this directory, empty by now, through the handle held.
    virtual bool RemoveSelf() = 0;
};

// The desktop shell and the file system under it: directories held open
// and starting programs.
class Shell {
public:
    virtual ~Shell() = default;
    // The directory at path, opened as OpenedDirectory::OpenDirectory opens
    // an entry: a link there is found as a link, not followed.
    virtual FoundDirectory OpenDirectory(std::string_view path) = 0;
    // Starts the program at its full path with the default verb, in directory
    // as its working directory, shown normally; whether the shell started it.
    // No other program of that name is looked for.
    virtual bool StartIn(std::string_view program, std::string_view directory) = 0;
    // Opens the program at its full path with parameters, in this program's
    // current directory, shown normally.
    virtual bool Open(std::string_view program, std::string_view parameters) = 0;
    // The system's own directory of programs (System32); empty when the
    // system won't say.
    virtual std::string SystemDirectory() const = 0;
};

}  // namespace qm

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

// A directory held open. While it lives the directory can't be deleted,
// renamed or replaced by a link; what is inside it can.
class HeldDirectory {
public:
    virtual ~HeldDirectory() = default;
};

// The desktop shell and the file system under it: deleting trees and
// starting programs.
class Shell {
public:
    virtual ~Shell() = default;
    // Deletes the directory and everything below it, to the recycle bin where
    // the volume has one, asking nothing and showing no error box; whether the
    // shell reported success. The shell follows links it meets.
    virtual bool DeleteTree(std::string_view path, std::string_view progressTitle) = 0;
    virtual PathKind KindOf(std::string_view path) const = 0;
    // Holds the plain directory at path; null when path is anything else
    // (missing, a file, a link) or can't be opened.
    virtual std::unique_ptr<HeldDirectory> HoldDirectory(std::string_view path) = 0;
    // The links below directory, found without following any; nothing when a
    // directory below can't be listed.
    virtual std::optional<std::vector<std::string>> LinksBelow(std::string_view directory) const = 0;
    // Removes the link at path itself, never what it points to; whether the
    // system says it did.
    virtual bool RemoveLink(std::string_view path) = 0;
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

#pragma once

#include <string_view>

namespace qm {

// The desktop shell: deleting trees and starting programs.
class Shell {
public:
    virtual ~Shell() = default;
    // Deletes the directory and everything below it, to the recycle bin where
    // the volume has one, asking nothing and showing no error box; whether the
    // shell reported success.
    virtual bool DeleteTree(std::string_view path, std::string_view progressTitle) = 0;
    // Whether anything is at path. When the system can't tell, it counts as
    // there, so a deletion is never reported done on a guess.
    virtual bool Exists(std::string_view path) const = 0;
    // Whether path is a link to somewhere else (a reparse point: a junction,
    // a symbolic link or the like), which the shell's delete may follow.
    virtual bool IsLink(std::string_view path) const = 0;
    // Removes the link at path itself, never what it points to; whether the
    // system says it did.
    virtual bool RemoveLink(std::string_view path) = 0;
    // Starts file with the default verb, looked for in directory and run with
    // it as the working directory, shown normally; whether the shell started it.
    virtual bool StartIn(std::string_view file, std::string_view directory) = 0;
    // Opens file with parameters, found by the system's search rules and run
    // in this program's current directory, shown normally.
    virtual bool Open(std::string_view file, std::string_view parameters) = 0;
};

}  // namespace qm

#pragma once

// Where a repair keeps what it is about to change: a folder of the user's
// own, never one that other accounts may write into.

#include <string>
#include <string_view>

#include "platform/file_inspector.h"

namespace qm {

enum class BackupOutcome { Done, NameTaken, Failed };

class BackupStore {
public:
    virtual ~BackupStore() = default;
    // The folder, as the question before a repair names it.
    virtual std::string Folder() = 0;
    // This moment on the machine's clock, to the second.
    virtual LocalTime Now() = 0;
    // Creates name in the folder (and the folder when missing) holding bytes;
    // never replaces a file. path is the new file's full path when Done;
    // reason says what failed otherwise.
    virtual BackupOutcome Create(std::string_view name, std::string_view bytes, std::string& path,
                                 std::string& reason) = 0;
    // Removes a backup that no change followed.
    virtual void Remove(const std::string& path) = 0;
};

}  // namespace qm

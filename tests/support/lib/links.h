#pragma once

#include <filesystem>

namespace qm::test {

// Makes link a symbolic link to the directory target. Under Wine this is a
// Linux symbolic link, made as a user of the Linux side would (Wine 8's
// CreateSymbolicLinkW returns TRUE and makes nothing); on Windows a
// directory symbolic link. Whether it was made.
bool MakeDirectoryLink(const std::filesystem::path& link, const std::filesystem::path& target);

// Removes such a link itself, without touching its target.
bool RemoveDirectoryLink(const std::filesystem::path& link);

// Whether path is a reparse point (a link) as the program sees it.
bool IsReparsePoint(const std::filesystem::path& path);

// Makes link a symbolic link to the file target, the way MakeDirectoryLink
// does for a directory. Inside Wine such a link shows no reparse point.
bool MakeFileLink(const std::filesystem::path& link, const std::filesystem::path& target);

// Removes such a link itself. Under Wine every Win32 way of deleting it
// deletes its target and leaves the link dangling.
bool RemoveFileLink(const std::filesystem::path& link);

// Whether path itself is a symbolic link: asked of Linux under Wine, where
// the program cannot tell a link to a file from the file.
bool IsSymbolicLink(const std::filesystem::path& path);

}  // namespace qm::test

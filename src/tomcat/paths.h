#pragma once

// The rules for Windows paths that the installation, the stop and the
// diagnosis share. Text only: nothing here asks the file system.

#include <string>
#include <string_view>

namespace qm::tomcat {

// A directory and the rest joined with one backslash, the directory's
// trailing separators dropped.
std::string JoinPath(std::string_view directory, std::string_view rest);

// Whether a value without its trailing separators is the root of a drive
// (C:) or of a share (\\server\share), also in the \\?\ forms: everything on
// that drive or share would lie inside it.
bool IsRoot(std::string_view value);

// Whether the executable at path lies inside the installation directory
// value: letter case aside, with \ and / alike, the value without its
// trailing separators and then a separator begins the path. An empty value
// (or one of separators only) names no installation and matches nothing, and
// neither does the root of a drive or of a share (C:\, \\server\share), which
// would take in everything on it.
bool MatchesInstallation(std::string_view path, std::string_view value);

// Whether two paths name the same file or directory: letter case, \ against
// / and trailing separators aside. Empty names nothing.
bool SameDirectory(std::string_view a, std::string_view b);

// Whether a path leads off this machine's drives by its form alone: a share
// (\\host\share, //host/share), or a device or object path (\\?\, \\.\,
// \??\), which may name a share or a pipe as well. A drive letter mapped to
// a share is not told by the text: ask the file system.
bool IsNetworkOrDevicePath(std::string_view path);

}  // namespace qm::tomcat

#include "tomcat/paths.h"

#include "text/ascii.h"

#include <algorithm>

namespace qm::tomcat {
namespace {

using text::AsciiLower;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Only ASCII letters fold, so a byte of a multi-byte character never equals
// an ASCII letter by accident.
bool SameFolded(char a, char b) {
    if (IsSeparator(a) && IsSeparator(b)) return true;
    return AsciiLower(a) == AsciiLower(b);
}

std::string_view WithoutTrailingSeparators(std::string_view path) {
    while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
    return path;
}

bool IsDriveName(std::string_view text) {
    return text.size() == 2 && text[1] == ':' && AsciiLower(text[0]) >= 'a' && AsciiLower(text[0]) <= 'z';
}

// How many names a path has, however many separators stand between them.
std::size_t CountNames(std::string_view path) {
    std::size_t names = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (!IsSeparator(path[i]) && (i == 0 || IsSeparator(path[i - 1]))) ++names;
    return names;
}

}  // namespace

std::string JoinPath(std::string_view directory, std::string_view rest) {
    std::string path(WithoutTrailingSeparators(directory));
    path += '\\';
    path += rest;
    return path;
}

bool IsRoot(std::string_view value) {
    if (IsDriveName(value)) return true;
    if (value.size() < 2 || !IsSeparator(value[0]) || !IsSeparator(value[1])) return false;
    value.remove_prefix(2);
    if (value.size() >= 2 && (value[0] == '?' || value[0] == '.') && IsSeparator(value[1])) {
        value.remove_prefix(2);
        if (IsDriveName(value)) return true;
        if (value.size() < 4 || !std::equal(value.begin(), value.begin() + 3, "unc", SameFolded) ||
            !IsSeparator(value[3]))
            return CountNames(value) <= 1;
        value.remove_prefix(4);
    }
    return CountNames(value) <= 2;
}

bool MatchesInstallation(std::string_view path, std::string_view value) {
    value = WithoutTrailingSeparators(value);
    if (value.empty() || IsRoot(value) || path.size() <= value.size()) return false;
    return std::equal(value.begin(), value.end(), path.begin(), SameFolded) && IsSeparator(path[value.size()]);
}

bool SameDirectory(std::string_view a, std::string_view b) {
    // Each inside the other, by the rule the stop button ends processes with.
    return MatchesInstallation(JoinPath(a, "x"), b) && MatchesInstallation(JoinPath(b, "x"), a);
}

bool IsNetworkOrDevicePath(std::string_view path) {
    const std::size_t blanks = path.find_first_not_of(' ');
    if (blanks == std::string_view::npos) return false;
    path.remove_prefix(blanks);
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return true;
    // The system's own spelling of an object path: \??\UNC\host\share, \??\pipe\...
    return path.size() >= 4 && IsSeparator(path[0]) && path[1] == '?' && path[2] == '?' && IsSeparator(path[3]);
}

}  // namespace qm::tomcat

#include "platform/win32/file_inspector_win.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <algorithm>

namespace qm::win32 {
namespace {

// Others may go on reading, writing and even deleting the file while we look.
constexpr DWORD kShareEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One ReadFile at most this large, so a huge maxBytes never overflows a DWORD.
constexpr std::size_t kLargestRead = 1u << 20;

std::optional<DWORD> Attributes(std::string_view path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
}

// A path may lead to a named pipe: its server then learns who we are, but may
// not act as us.
constexpr DWORD kIdentifyOnly = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

UniqueFileHandle OpenForReading(std::string_view path) {
    return UniqueFileHandle(CreateFileW(Widen(path).c_str(), GENERIC_READ, kShareEverything, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | kIdentifyOnly, nullptr));
}

// Up to maxBytes from the file's current position; nothing on a read error.
std::optional<std::string> ReadUpTo(HANDLE file, std::size_t maxBytes) {
    std::string bytes;
    while (bytes.size() < maxBytes) {
        const std::size_t chunk = std::min(maxBytes - bytes.size(), kLargestRead);
        const std::size_t at = bytes.size();
        bytes.resize(at + chunk);
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + at, static_cast<DWORD>(chunk), &read, nullptr)) return std::nullopt;
        bytes.resize(at + read);
        if (read == 0) break;
    }
    return bytes;
}

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

bool Win32FileInspector::IsDirectory(std::string_view path) {
    const auto attributes = Attributes(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileInspector::IsFile(std::string_view path) {
    const auto attributes = Attributes(path);
    return attributes && !(*attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileInspector::Exists(std::string_view path) {
    if (GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

std::optional<std::string> Win32FileInspector::ReadHead(std::string_view path, std::size_t maxBytes) {
    const UniqueFileHandle file = OpenForReading(path);
    if (!file) return std::nullopt;
    return ReadUpTo(file.get(), maxBytes);
}

std::optional<std::string> Win32FileInspector::ReadTail(std::string_view path, std::size_t maxBytes) {
    const UniqueFileHandle file = OpenForReading(path);
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
    const auto length = static_cast<std::uint64_t>(size.QuadPart);
    LARGE_INTEGER start{};
    start.QuadPart = static_cast<LONGLONG>(length > maxBytes ? length - maxBytes : 0);
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return std::nullopt;
    return ReadUpTo(file.get(), maxBytes);
}

std::optional<std::vector<DirectoryItem>> Win32FileInspector::List(std::string_view directory) {
    std::wstring pattern = Widen(directory);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(FindFirstFileW(pattern.c_str(), &found));
    std::vector<DirectoryItem> items;
    // Only a drive's root can have no entry at all, not even ".".
    if (!search) return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(items) : std::nullopt;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const std::uint64_t size =
            directory ? 0 : (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        items.push_back({Narrow(name), directory, Ticks(found.ftLastWriteTime), size});
    } while (FindNextFileW(search.get(), &found));
    return items;
}

// The drive's type is the system's own record: no look at the share itself.
bool Win32FileInspector::OnNetworkDrive(std::string_view path) {
    if (path.size() < 2 || path[1] != ':') return false;
    const wchar_t root[] = {static_cast<wchar_t>(static_cast<unsigned char>(path[0])), L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

}  // namespace qm::win32

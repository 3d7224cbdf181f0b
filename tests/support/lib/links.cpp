#include "support/lib/links.h"

#include <windows.h>

namespace qm::test {
namespace {

// Wine's own export: the Linux path of a Windows one, allocated on the
// process heap; absent on Windows.
using UnixFileName = char*(__cdecl*)(const wchar_t*);

UnixFileName WineUnixFileName() {
    return reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

// A Linux system call made directly: under Wine the program is a Linux
// process, and the kernel answers it like any other.
long LinuxCall(long number, const char* first, const char* second, long third = 0) {
    long result = 0;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(number), "D"(first), "S"(second), "d"(third)
                     : "rcx", "r11", "memory");
    return result;
}

constexpr long kLinuxUnlink = 87;
constexpr long kLinuxSymlink = 88;
constexpr long kLinuxReadlink = 89;

class UnixName {
public:
    UnixName(UnixFileName convert, const std::filesystem::path& path) : text_(convert(path.c_str())) {}
    ~UnixName() {
        if (text_) HeapFree(GetProcessHeap(), 0, text_);
    }
    UnixName(const UnixName&) = delete;
    UnixName& operator=(const UnixName&) = delete;
    const char* get() const { return text_; }

private:
    char* text_;
};

}  // namespace

bool MakeDirectoryLink(const std::filesystem::path& link, const std::filesystem::path& target) {
    if (const UnixFileName convert = WineUnixFileName()) {
        const UnixName unixTarget(convert, target);
        const UnixName unixLink(convert, link);
        return unixTarget.get() && unixLink.get() && LinuxCall(kLinuxSymlink, unixTarget.get(), unixLink.get()) == 0;
    }
    return CreateSymbolicLinkW(link.c_str(), target.c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
}

bool RemoveDirectoryLink(const std::filesystem::path& link) {
    if (const UnixFileName convert = WineUnixFileName()) {
        const UnixName unixLink(convert, link);
        return unixLink.get() && LinuxCall(kLinuxUnlink, unixLink.get(), nullptr) == 0;
    }
    return RemoveDirectoryW(link.c_str()) != FALSE;
}

bool IsReparsePoint(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool MakeFileLink(const std::filesystem::path& link, const std::filesystem::path& target) {
    if (const UnixFileName convert = WineUnixFileName()) {
        const UnixName unixTarget(convert, target);
        const UnixName unixLink(convert, link);
        return unixTarget.get() && unixLink.get() && LinuxCall(kLinuxSymlink, unixTarget.get(), unixLink.get()) == 0;
    }
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
}

bool RemoveFileLink(const std::filesystem::path& link) {
    if (const UnixFileName convert = WineUnixFileName()) {
        const UnixName unixLink(convert, link);
        return unixLink.get() && LinuxCall(kLinuxUnlink, unixLink.get(), nullptr) == 0;
    }
    return DeleteFileW(link.c_str()) != FALSE;
}

bool IsSymbolicLink(const std::filesystem::path& path) {
    if (const UnixFileName convert = WineUnixFileName()) {
        const UnixName unixPath(convert, path);
        char target[4096];
        return unixPath.get() && LinuxCall(kLinuxReadlink, unixPath.get(), target, sizeof target) > 0;
    }
    return IsReparsePoint(path);
}

}  // namespace qm::test

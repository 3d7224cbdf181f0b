#include "platform/win32/shell_win.h"

#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>
#include <shellapi.h>

namespace qm::win32 {
namespace {

// ShellExecute's old-style result: above 32 means started.
bool Started(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

// ShellExecuteW, or nothing started when the shell is not there.
HINSTANCE Execute(const wchar_t* verb, const std::wstring& file, const wchar_t* parameters, const wchar_t* directory) {
    static const auto execute = SystemFunction<decltype(ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    if (!execute) return nullptr;
    return execute(nullptr, verb, file.c_str(), parameters, directory, SW_SHOWNORMAL);
}

PathKind KindOfAttributes(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Link;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Directory : PathKind::Other;
}

class OpenDirectory : public HeldDirectory {
public:
    explicit OpenDirectory(UniqueFileHandle handle) : handle_(std::move(handle)) {}

private:
    UniqueFileHandle handle_;
};

}  // namespace

bool DesktopShell::DeleteTree(std::string_view path, std::string_view progressTitle) {
    // A list of names, each ended by a NUL, the list by one more: the string's
    // own terminator is the second.
    auto from = Widen(path);
    from.push_back(L'\0');
    const auto title = Widen(progressTitle);
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.pTo = nullptr;
    operation.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI;
    operation.lpszProgressTitle = title.c_str();
    static const auto fileOperation = SystemFunction<decltype(SHFileOperationW)>(L"shell32.dll", "SHFileOperationW");
    return fileOperation && fileOperation(&operation) == 0 && !operation.fAnyOperationsAborted;
}

PathKind DesktopShell::KindOf(std::string_view path) const {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::Missing : PathKind::Other;
    }
    return KindOfAttributes(attributes);
}

// The open refuses to share deletion, which renaming needs too. Opened as
// itself, not followed, so on Windows a link at path shows in the handle's
// attributes. Wine 8 follows a Unix symbolic link whatever we ask and its
// handle shows the target, but the path itself still reads as a link: so the
// path is looked at again once the handle is held.
std::unique_ptr<HeldDirectory> DesktopShell::HoldDirectory(std::string_view path) {
    const auto wide = Widen(path);
    UniqueFileHandle handle(CreateFileW(wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return nullptr;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle.get(), &information) ||
        KindOfAttributes(information.dwFileAttributes) != PathKind::Directory || KindOf(path) != PathKind::Directory)
        return nullptr;
    return std::make_unique<OpenDirectory>(std::move(handle));
}

std::optional<std::vector<std::string>> DesktopShell::LinksBelow(std::string_view directory) const {
    std::vector<std::string> links;
    std::vector<std::wstring> toList{Widen(directory)};
    while (!toList.empty()) {
        const std::wstring folder = std::move(toList.back());
        toList.pop_back();
        WIN32_FIND_DATAW entry{};
        const UniqueFindHandle find(
            FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
        if (!find) {
            // Only a drive's root, which has no "." entry, can list as nothing.
            if (GetLastError() == ERROR_FILE_NOT_FOUND) continue;
            return std::nullopt;
        }
        do {
            const std::wstring_view name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + entry.cFileName;
            const PathKind kind = KindOfAttributes(entry.dwFileAttributes);
            if (kind == PathKind::Link)
                links.push_back(Narrow(path));
            else if (kind == PathKind::Directory)
                toList.push_back(path);
        } while (FindNextFileW(find.get(), &entry));
        if (GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
    }
    return links;
}

// On a junction or a directory symbolic link, RemoveDirectoryW removes the
// link alone, and DeleteFileW a file's. Wine 8 follows a directory link
// instead: it removes an empty target and leaves the link. While we hold the
// target open and refuse to share it for deletion, such a removal fails
// (sharing violation) and the target stays; on Windows the link is a file of
// its own, which the hold does not touch. A link to nothing needs no hold.
bool DesktopShell::RemoveLink(std::string_view path) {
    const auto link = Widen(path);
    const DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return DeleteFileW(link.c_str()) != FALSE;
    const UniqueFileHandle target(CreateFileW(link.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return RemoveDirectoryW(link.c_str()) != FALSE;
}

bool DesktopShell::StartIn(std::string_view program, std::string_view directory) {
    return Started(Execute(nullptr, Widen(program), nullptr, Widen(directory).c_str()));
}

bool DesktopShell::Open(std::string_view program, std::string_view parameters) {
    return Started(Execute(L"open", Widen(program), Widen(parameters).c_str(), nullptr));
}

std::string DesktopShell::SystemDirectory() const {
    std::wstring directory(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(directory.data(), static_cast<UINT>(directory.size()));
    if (length == 0 || length >= directory.size()) return {};
    directory.resize(length);
    return Narrow(directory);
}

}  // namespace qm::win32

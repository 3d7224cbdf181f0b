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

bool DesktopShell::Exists(std::string_view path) const {
    if (GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool DesktopShell::IsLink(std::string_view path) const {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// On a junction or a directory symbolic link, RemoveDirectoryW removes the
// link alone. Wine 8 follows the link instead: it removes an empty target and
// leaves the link. While we hold the target open and refuse to share it for
// deletion, such a removal fails (sharing violation) and the target stays; on
// Windows the link is a file of its own, which the hold does not touch. A
// link to nothing needs no hold.
bool DesktopShell::RemoveLink(std::string_view path) {
    const auto link = Widen(path);
    const UniqueFileHandle target(CreateFileW(link.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return RemoveDirectoryW(link.c_str()) != FALSE;
}

bool DesktopShell::StartIn(std::string_view file, std::string_view directory) {
    return Started(Execute(nullptr, Widen(file), nullptr, Widen(directory).c_str()));
}

bool DesktopShell::Open(std::string_view file, std::string_view parameters) {
    return Started(Execute(L"open", Widen(file), Widen(parameters).c_str(), nullptr));
}

}  // namespace qm::win32

#include "platform/win32/repair_ports_win.h"

#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>
#include <shlobj.h>

namespace qm::win32 {
namespace {

constexpr const wchar_t* kLevels[] = {L"Quillmate", L"backup"};

// The shell is loaded on first use: only a repair needs it.
std::wstring LocalAppData() {
    static const auto folderPath = SystemFunction<decltype(SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
    wchar_t path[MAX_PATH] = {};
    if (!folderPath || FAILED(folderPath(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

// The folder, made where missing; empty when a level is a link or no directory.
std::wstring MadeFolder(std::string& reason) {
    std::wstring folder = LocalAppData();
    if (folder.empty()) {
        reason = "no local application data folder";
        return {};
    }
    for (const wchar_t* level : kLevels) {
        folder += L"\\";
        folder += level;
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            reason = "cannot create " + Narrow(folder) + " (error " + std::to_string(GetLastError()) + ")";
            return {};
        }
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            reason = Narrow(folder) + " is not a plain directory";
            return {};
        }
    }
    return folder;
}

}  // namespace

std::string LocalBackupStore::Folder() {
    const std::wstring base = LocalAppData();
    return base.empty() ? std::string("%LOCALAPPDATA%\\Quillmate\\backup") : Narrow(base) + "\\Quillmate\\backup";
}

LocalTime LocalBackupStore::Now() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

BackupOutcome LocalBackupStore::Create(std::string_view name, std::string_view bytes, std::string& path,
                                       std::string& reason) {
    const std::wstring folder = MadeFolder(reason);
    if (folder.empty()) return BackupOutcome::Failed;
    const std::wstring file = folder + L"\\" + Widen(name);
    UniqueFileHandle handle(
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return BackupOutcome::NameTaken;
        reason = "cannot create " + Narrow(file) + " (error " + std::to_string(error) + ")";
        return BackupOutcome::Failed;
    }
    DWORD written = 0;
    const bool whole = WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size() && FlushFileBuffers(handle.get());
    if (!whole) {
        reason = "cannot write " + Narrow(file) + " (error " + std::to_string(GetLastError()) + ")";
        handle.reset();
        DeleteFileW(file.c_str());
        return BackupOutcome::Failed;
    }
    path = Narrow(file);
    return BackupOutcome::Done;
}

void LocalBackupStore::Remove(const std::string& path) { DeleteFileW(Widen(path).c_str()); }

}  // namespace qm::win32

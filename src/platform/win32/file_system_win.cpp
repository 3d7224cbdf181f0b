#include "platform/win32/file_system_win.h"

#include <windows.h>

#include <cstddef>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace qm::win32 {
namespace {

FileStatus StatusOf(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return {FileOutcome::NameTaken, error};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return {FileOutcome::InUse, error};
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_CALL_NOT_IMPLEMENTED:
        return {FileOutcome::Unsupported, error};
    default:
        return {FileOutcome::Failed, error};
    }
}

FileStatus StatusOfCall(BOOL succeeded) { return succeeded ? FileStatus{} : StatusOf(GetLastError()); }

// What the new file takes over of the old one's attributes: the ones a
// program may set, the read-only one aside (such a file is refused anyway).
constexpr DWORD kCarriedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                     FILE_ATTRIBUTE_TEMPORARY;

// The parts of a file's security descriptor named by which, self-relative.
FileStatus ReadSecurity(const std::string& path, SECURITY_INFORMATION which, std::vector<std::byte>& descriptor) {
    const std::wstring wide = Widen(path);
    DWORD needed = 0;
    GetFileSecurityW(wide.c_str(), which, nullptr, 0, &needed);
    if (needed == 0) return StatusOf(GetLastError());
    descriptor.resize(needed);
    return StatusOfCall(GetFileSecurityW(wide.c_str(), which, descriptor.data(), needed, &needed));
}

class WindowsNewFile final : public NewFile {
public:
    explicit WindowsNewFile(UniqueFileHandle file) : file_(std::move(file)) {}

    FileStatus Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
            DWORD written = 0;
            if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr)) return StatusOf(GetLastError());
            if (written == 0) return {FileOutcome::Failed, ERROR_WRITE_FAULT};
            bytes.remove_prefix(written);
        }
        return {};
    }

    FileStatus TakeAttributesOf(const std::string& original) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(Widen(original).c_str(), GetFileExInfoStandard, &data))
            return StatusOf(GetLastError());
        FILE_BASIC_INFO basic{};  // times left at zero stay as they are
        basic.CreationTime.LowPart = data.ftCreationTime.dwLowDateTime;
        basic.CreationTime.HighPart = static_cast<LONG>(data.ftCreationTime.dwHighDateTime);
        const DWORD carried = data.dwFileAttributes & kCarriedAttributes;
        basic.FileAttributes = carried != 0 ? carried : FILE_ATTRIBUTE_NORMAL;
        return StatusOfCall(SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic));
    }

    FileStatus TakeOwnerOf(const std::string& original) override {
        std::vector<std::byte> descriptor;
        if (const FileStatus read = ReadSecurity(original, OWNER_SECURITY_INFORMATION, descriptor); !read.Done())
            return read;
        return StatusOfCall(SetKernelObjectSecurity(file_.get(), OWNER_SECURITY_INFORMATION, descriptor.data()));
    }

    FileStatus Flush() override { return StatusOfCall(FlushFileBuffers(file_.get())); }

private:
    UniqueFileHandle file_;
};

}  // namespace

FileStatus WindowsFileSystem::Inspect(const std::string& path, FileFacts& facts) {
    facts = {};
    // One handle, opened through whatever links lead to the file, answers for
    // the file itself. Backup semantics open a directory too; the share modes
    // keep this look from getting in anybody's way.
    const UniqueFileHandle file(CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileStatus{} : StatusOf(error);
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) return StatusOf(GetLastError());
    std::wstring finalPath(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file.get(), finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= finalPath.size()) {
        finalPath.resize(length);
        length = GetFinalPathNameByHandleW(file.get(), finalPath.data(), static_cast<DWORD>(finalPath.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0) return StatusOf(GetLastError());
    if (length >= finalPath.size()) return {FileOutcome::Failed, ERROR_INSUFFICIENT_BUFFER};  // it grew meanwhile
    finalPath.resize(length);
    facts.exists = true;
    facts.directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.readOnly = (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    facts.names = information.nNumberOfLinks;
    facts.finalPath = Narrow(finalPath);
    return {};
}

std::vector<std::string> WindowsFileSystem::NamesIn(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(FindFirstFileW((Widen(directory) + L"*").c_str(), &found));
    if (!search) return names;
    do {
        const std::wstring_view name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(Narrow(name));
    } while (FindNextFileW(search.get(), &found));
    return names;
}

FileStatus WindowsFileSystem::Remove(const std::string& path) { return StatusOfCall(DeleteFileW(Widen(path).c_str())); }

std::unique_ptr<NewFile> WindowsFileSystem::CreateNew(const std::string& path, const std::string& model,
                                                      FileStatus& status) {
    // The descriptor as the model has it: the new file sits in the same
    // directory, so the entries it inherited are still right.
    std::vector<std::byte> descriptor;
    status = ReadSecurity(model, DACL_SECURITY_INFORMATION, descriptor);
    if (!status.Done()) {
        if (status.outcome != FileOutcome::Unsupported) return nullptr;
        descriptor.clear();  // no rules to keep: the directory's apply
    }
    SECURITY_ATTRIBUTES security{sizeof security, descriptor.empty() ? nullptr : descriptor.data(), FALSE};
    // WRITE_OWNER: the owner is given through this handle.
    UniqueFileHandle file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE | WRITE_OWNER, 0, &security, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        status = StatusOf(GetLastError());
        return nullptr;
    }
    status = {};
    return std::make_unique<WindowsNewFile>(std::move(file));
}

FileStatus WindowsFileSystem::MoveOver(const std::string& from, const std::string& to) {
    return StatusOfCall(
        MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

void WindowsFileSystem::Pause(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace qm::win32

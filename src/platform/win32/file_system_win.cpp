#include "platform/win32/file_system_win.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "platform/win32/system_library.h"
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

// A path as the system writes a final one, without its \\?\ lead-in (and
// \\?\UNC\ as \\), so the two spellings of one path compare equal.
std::wstring Plain(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return {};
    full.resize(length);
    return full;
}

// Whether the handle is of what path names itself, not of something a link
// on the way leads to: the system's own name for the handle is the path.
bool IsAtPath(HANDLE handle, const std::wstring& path) {
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= final.size()) {
        final.resize(length);
        length = GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= final.size()) return false;
    final.resize(length);
    const std::wstring a = Plain(final);
    const std::wstring b = Plain(FullPath(path));
    return !b.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Opened as itself: a link at path is the link, not what it leads to.
UniqueFileHandle OpenItself(const std::wstring& path, DWORD access, DWORD sharing) {
    return UniqueFileHandle(CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::optional<DWORD> AttributesOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) return std::nullopt;
    return information.dwFileAttributes;
}

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

// Through a handle opened on the name itself. On Windows a link's handle
// shows its reparse point and the deletion takes the link alone. Wine 8
// opens what a Unix symbolic link leads to whatever is asked, and deleting
// through that handle would take the file the link names: such a name, whose
// handle is somewhere else, stays.
FileStatus WindowsFileSystem::Remove(const std::string& path) {
    const std::wstring wide = Widen(path);
    const UniqueFileHandle file =
        OpenItself(wide, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!file) return StatusOf(GetLastError());
    const std::optional<DWORD> attributes = AttributesOf(file.get());
    if (!attributes) return StatusOf(GetLastError());
    if (!(*attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (*attributes & FILE_ATTRIBUTE_DIRECTORY) return {FileOutcome::Failed, ERROR_DIRECTORY};
        if (!IsAtPath(file.get(), wide)) return {FileOutcome::Failed, ERROR_CANT_ACCESS_FILE};
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    return StatusOfCall(SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition));
}

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

// The rename goes through handles, never through the paths once more: the
// directory of to is held (it can't be renamed while we hold it) and must be,
// by its handle, the very directory to names, so no folder swapped for a link
// since the file was looked up leads the new file elsewhere; the new file is
// opened as itself and must be where from says; then it is renamed relative to
// the held directory's handle. Its bytes were flushed before.
FileStatus WindowsFileSystem::MoveOver(const std::string& from, const std::string& to) {
    const std::wstring target = Widen(to);
    const std::size_t separator = target.find_last_of(L"\\/");
    if (separator == std::wstring::npos || separator + 1 == target.size()) return {FileOutcome::Failed, ERROR_INVALID_NAME};
    const std::wstring directoryPath = target.substr(0, separator);
    const std::wstring name = target.substr(separator + 1);
    const UniqueFileHandle directory =
        OpenItself(directoryPath, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE,
                   FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!directory) return StatusOf(GetLastError());
    const std::optional<DWORD> directoryAttributes = AttributesOf(directory.get());
    if (!directoryAttributes) return StatusOf(GetLastError());
    if ((*directoryAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != FILE_ATTRIBUTE_DIRECTORY ||
        !IsAtPath(directory.get(), directoryPath))
        return {FileOutcome::Failed, ERROR_PATH_NOT_FOUND};

    const std::wstring source = Widen(from);
    // Shared: once renamed it is server.xml, which readers may open while we
    // still hold it; the rename is of this handle's file, whatever its name.
    const UniqueFileHandle file = OpenItself(source, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!file) return StatusOf(GetLastError());
    const std::optional<DWORD> fileAttributes = AttributesOf(file.get());
    if (!fileAttributes) return StatusOf(GetLastError());
    if ((*fileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        !IsAtPath(file.get(), directoryPath + L"\\" + source.substr(source.find_last_of(L"\\/") + 1)))
        return {FileOutcome::Failed, ERROR_FILE_NOT_FOUND};

    // The system's own call: Wine's SetFileInformationByHandle takes the
    // name for a whole path and refuses a directory beside it (error 87).
    static const auto setInformation =
        SystemFunction<decltype(NtSetInformationFile)>(L"ntdll.dll", "NtSetInformationFile");
    static const auto toError = SystemFunction<decltype(RtlNtStatusToDosError)>(L"ntdll.dll", "RtlNtStatusToDosError");
    if (!setInformation || !toError) return {FileOutcome::Unsupported, ERROR_CALL_NOT_IMPLEMENTED};
    std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = directory.get();
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = setInformation(file.get(), &io, rename, static_cast<ULONG>(buffer.size()),
                                           static_cast<FILE_INFORMATION_CLASS>(10));  // FileRenameInformation
    return NT_SUCCESS(status) ? FileStatus{} : StatusOf(toError(status));
}

void WindowsFileSystem::Pause(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace qm::win32

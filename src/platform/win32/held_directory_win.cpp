#include "platform/win32/held_directory_win.h"

#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>
#include <winternl.h>

#include <vector>

namespace qm::win32 {
namespace {

// DELETE: a held directory goes through its own handle once it is empty.
constexpr ACCESS_MASK kHoldAccess = DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kTopAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kRemoveAccess = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Renaming needs the sharing of deletion too, so what we hold stays where it is.
constexpr ULONG kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kRemoveSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kOpenExisting = 1;  // FILE_OPEN
constexpr ULONG kOpenOptions = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);  // STATUS_OBJECT_PATH_NOT_FOUND
constexpr DWORD kListingBytes = 64 * 1024;
// Windows 10's form of the deletion request, which MinGW's headers offer
// only to programs that require version 1809.
constexpr auto kDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDeleteAtOnce = 0x1 | 0x2 | 0x10;  // delete, POSIX semantics, ignore the read-only attribute

// What a handle opened at a name below a held directory turned out to be.
enum class Opened {
    Directory,  // a plain directory, at that very place
    File,       // anything else but a link, at that very place
    LinkItself,
    // Somewhere else: Wine follows a Unix symbolic link whatever the open
    // asks, and its handle then shows the target, a plain directory or file.
    Elsewhere,
    Unknown,
};

std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);
    }
    return {};
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring Below(const std::wstring& directory, std::u16string_view name) {
    std::wstring path = directory;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    for (char16_t c : name) path += static_cast<wchar_t>(c);
    return path;
}

// Names match in any case, as paths do on Windows; where the open landed is
// checked by its handle all the same.
UniqueFileHandle OpenBelow(HANDLE parent, std::u16string_view name, ACCESS_MASK access, ULONG sharing,
                           NTSTATUS& status) {
    static const auto create = SystemFunction<decltype(NtCreateFile)>(L"ntdll.dll", "NtCreateFile");
    status = static_cast<NTSTATUS>(0xC0000002);  // STATUS_NOT_IMPLEMENTED
    if (!create || name.empty() || name.size() > 32767) return {};
    std::wstring wide(name.begin(), name.end());
    UNICODE_STRING objectName;
    objectName.Buffer = wide.data();
    objectName.Length = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    status = create(&handle, access, &attributes, &io, nullptr, 0, sharing, kOpenExisting, kOpenOptions, nullptr, 0);
    if (!NT_SUCCESS(status)) return {};
    return UniqueFileHandle(handle);
}

Opened WhatIsOpened(HANDLE handle, const std::wstring& expectedPath) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) return Opened::Unknown;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Opened::LinkItself;
    const std::wstring path = FinalPath(handle);
    if (path.empty()) return Opened::Unknown;
    if (!SamePath(path, expectedPath)) return Opened::Elsewhere;
    return information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? Opened::Directory : Opened::File;
}

// Marks the file or directory of handle to go when the handle closes; with
// the newer form of the call its name goes at once, even while others still
// have it open, and a read-only file goes too.
bool MarkForDeletion(HANDLE handle) {
    FILE_DISPOSITION_INFO_EX now{kDeleteAtOnce};
    if (SetFileInformationByHandle(handle, kDispositionInfoEx, &now, sizeof now)) return true;
    FILE_DISPOSITION_INFO onClose{TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &onClose, sizeof onClose) != FALSE;
}

PathKind KindOfListed(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Link;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Directory : PathKind::Other;
}

class HeldDirectory final : public OpenedDirectory {
public:
    HeldDirectory(UniqueFileHandle handle, std::wstring path) : handle_(std::move(handle)), path_(std::move(path)) {}

    std::optional<std::vector<DirectoryEntry>> Entries() override {
        std::vector<DirectoryEntry> entries;
        std::vector<unsigned char> buffer(kListingBytes);
        FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
        while (GetFileInformationByHandleEx(handle_.get(), kind, buffer.data(), kListingBytes)) {
            kind = FileIdBothDirectoryInfo;
            for (std::size_t at = 0;;) {
                const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
                const std::u16string name(entry->FileName, entry->FileName + entry->FileNameLength / sizeof(WCHAR));
                if (name != u"." && name != u"..") entries.push_back({name, KindOfListed(entry->FileAttributes)});
                if (entry->NextEntryOffset == 0) break;
                at += entry->NextEntryOffset;
            }
        }
        if (GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
        return entries;
    }

    FoundDirectory OpenDirectory(std::u16string_view name) override {
        NTSTATUS status = 0;
        UniqueFileHandle handle = OpenBelow(handle_.get(), name, kHoldAccess, kHoldSharing, status);
        if (!handle) {
            if (status == kNameNotFound || status == kPathNotFound) return {PathKind::Missing, nullptr};
            return {PathKind::Other, nullptr};
        }
        switch (WhatIsOpened(handle.get(), Below(path_, name))) {
        case Opened::Directory: {
            std::wstring path = FinalPath(handle.get());
            return {PathKind::Directory, std::make_unique<HeldDirectory>(std::move(handle), std::move(path))};
        }
        case Opened::LinkItself:
        case Opened::Elsewhere:
            return {PathKind::Link, nullptr};
        case Opened::File:
        case Opened::Unknown:
            break;
        }
        return {PathKind::Other, nullptr};
    }

    bool RemoveEntry(std::u16string_view name) override {
        NTSTATUS status = 0;
        const UniqueFileHandle handle = OpenBelow(handle_.get(), name, kRemoveAccess, kRemoveSharing, status);
        if (!handle) return status == kNameNotFound;
        switch (WhatIsOpened(handle.get(), Below(path_, name))) {
        case Opened::LinkItself:
        case Opened::File:
            return MarkForDeletion(handle.get());
        case Opened::Directory:  // emptied first, through a handle of its own
        case Opened::Elsewhere:  // only its target could be removed through this handle
        case Opened::Unknown:
            break;
        }
        return false;
    }

    bool RemoveSelf() override {
        if (!handle_ || !MarkForDeletion(handle_.get())) return false;
        // Gone once closed: the directory above can only be removed after that.
        handle_.reset();
        return true;
    }

private:
    UniqueFileHandle handle_;
    std::wstring path_;  // where the handle really is, as the system names it
};

}  // namespace

// Opened as itself, not followed, so on Windows a link at path shows in the
// handle's attributes. Wine 8 follows a Unix symbolic link whatever we ask and
// its handle shows the target, but the path itself still reads as a link: so
// the path is looked at again once the handle is held.
FoundDirectory OpenHeldDirectory(std::string_view path) {
    const std::wstring wide = Widen(path);
    UniqueFileHandle handle(CreateFileW(wide.c_str(), kTopAccess, kHoldSharing, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? PathKind::Missing : PathKind::Other, nullptr};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle.get(), &information)) return {PathKind::Other, nullptr};
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {PathKind::Other, nullptr};
    const PathKind kind = KindOfListed(information.dwFileAttributes | (attributes & FILE_ATTRIBUTE_REPARSE_POINT));
    if (kind != PathKind::Directory) return {kind, nullptr};
    std::wstring finalPath = FinalPath(handle.get());
    if (finalPath.empty()) return {PathKind::Other, nullptr};
    return {kind, std::make_unique<HeldDirectory>(std::move(handle), std::move(finalPath))};
}

}  // namespace qm::win32

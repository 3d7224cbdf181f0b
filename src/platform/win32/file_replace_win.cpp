#include "platform/win32/file_replace_win.h"

#include <windows.h>

#include <string>
#include <utility>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace qm::win32 {
namespace {

std::string Failure(std::string_view what, const std::string& path, DWORD error = GetLastError()) {
    return std::string(what) + " " + path + " (error " + std::to_string(error) + ")";
}

// The directory part, up to the last separator of either kind, so that the
// temporary file lands on the same volume as the original.
std::wstring DirectoryOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring(L".") : path.substr(0, separator + 1);
}

// The temporary file beside the original; deleted when it goes unless it
// took the original's place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }
    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::wstring path_;
};

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// What the new file takes over of the old one's attributes: the ones a
// program may set, the read-only one aside (such a file is refused anyway).
constexpr DWORD kCarriedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                     FILE_ATTRIBUTE_TEMPORARY;

bool IsReplaceUnsupported(DWORD error) {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_FUNCTION;
}

}  // namespace

bool WindowsFileProbe::IsFile(const std::string& path) const {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WindowsFileReplacer::Replace(const std::string& path, std::string_view bytes, std::string& reason) {
    const std::wstring target = Widen(path);
    WIN32_FILE_ATTRIBUTE_DATA original{};
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &original)) {
        reason = Failure("cannot read the attributes of", path);
        return false;
    }
    const DWORD attributes = original.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        reason = path + " is a directory";
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        reason = path + " is read-only";
        return false;
    }

    wchar_t temporaryName[MAX_PATH + 1];
    if (GetTempFileNameW(DirectoryOf(target).c_str(), L"qm", 0, temporaryName) == 0) {
        reason = Failure("cannot create a temporary file beside", path);
        return false;
    }
    TemporaryFile temporary(temporaryName);
    {
        UniqueFileHandle file(CreateFileW(temporary.Path().c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            reason = Failure("cannot open the temporary file for", path);
            return false;
        }
        if (!WriteAll(file.get(), bytes)) {
            reason = Failure("cannot write the new contents of", path);
            return false;
        }
        // ReplaceFileW keeps the creation time and the attributes on Windows;
        // Wine's keeps neither and the fallback below cannot, so the new file
        // carries them itself before it takes the old one's place.
        if (!SetFileTime(file.get(), &original.ftCreationTime, nullptr, nullptr)) {
            reason = Failure("cannot keep the creation time of", path);
            return false;
        }
        // The data must be on the disk before the name points at it, or a
        // crash right after the swap could leave an empty server.xml.
        if (!FlushFileBuffers(file.get())) {
            reason = Failure("cannot flush the new contents of", path);
            return false;
        }
    }
    if ((attributes & kCarriedAttributes) != 0 &&
        !SetFileAttributesW(temporary.Path().c_str(), attributes & kCarriedAttributes)) {
        reason = Failure("cannot keep the attributes of", path);
        return false;
    }

    if (ReplaceFileW(target.c_str(), temporary.Path().c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
        temporary.Keep();
        return true;
    }
    const DWORD replaceError = GetLastError();
    if (!IsReplaceUnsupported(replaceError)) {
        reason = Failure("cannot replace", path, replaceError);
        return false;
    }
    // Only where the file system cannot replace. A rename keeps the
    // attributes and creation time set above, but the file keeps the security
    // descriptor it was created with (the directory's inherited one, not the
    // original's own), and loses the original's short name, object id and
    // alternate data streams. Still a single step: never half a file.
    if (!MoveFileExW(temporary.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = Failure("cannot move the new contents over", path);
        return false;
    }
    temporary.Keep();
    return true;
}

}  // namespace qm::win32

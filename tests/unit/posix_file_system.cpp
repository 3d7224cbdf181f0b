#include "unit/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qm::test {
namespace {

FileStatus StatusOf(int error) {
    if (error == 0) return {};
    if (error == EEXIST) return {FileOutcome::NameTaken, static_cast<std::uint32_t>(error)};
    if (error == EBUSY || error == ETXTBSY) return {FileOutcome::InUse, static_cast<std::uint32_t>(error)};
    return {FileOutcome::Failed, static_cast<std::uint32_t>(error)};
}

FileStatus StatusOfCall(int result) { return result == 0 ? FileStatus{} : StatusOf(errno); }

class PosixNewFile final : public NewFile {
public:
    explicit PosixNewFile(int fd) : fd_(fd) {}
    PosixNewFile(const PosixNewFile&) = delete;
    PosixNewFile& operator=(const PosixNewFile&) = delete;
    ~PosixNewFile() override { ::close(fd_); }

    FileStatus Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) continue;
            if (written < 0) return StatusOf(errno);
            if (written == 0) return StatusOf(EIO);
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return {};
    }
    FileStatus TakeAttributesOf(const std::string&) override { return {}; }
    FileStatus TakeOwnerOf(const std::string& original) override {
        struct stat info {};
        if (::stat(original.c_str(), &info) != 0) return StatusOf(errno);
        return StatusOfCall(::fchown(fd_, info.st_uid, info.st_gid));
    }
    FileStatus Flush() override { return StatusOfCall(::fsync(fd_)); }

private:
    int fd_;
};

}  // namespace

FileStatus PosixFileSystem::Inspect(const std::string& path, FileFacts& facts) {
    facts = {};
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? FileStatus{} : StatusOf(errno);
    facts.exists = true;
    facts.directory = S_ISDIR(info.st_mode);
    facts.readOnly = (info.st_mode & S_IWUSR) == 0;
    facts.names = static_cast<std::uint32_t>(info.st_nlink);
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real) == nullptr) return StatusOf(errno);
    facts.finalPath = real;
    return {};
}

std::vector<std::string> PosixFileSystem::NamesIn(const std::string& directory) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(directory.empty() ? "." : directory.c_str());
    if (listing == nullptr) return names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(listing);
    return names;
}

FileStatus PosixFileSystem::Remove(const std::string& path) { return StatusOfCall(::unlink(path.c_str())); }

std::unique_ptr<NewFile> PosixFileSystem::CreateNew(const std::string& path, const std::string& model,
                                                    FileStatus& status) {
    struct stat info {};
    if (::stat(model.c_str(), &info) != 0) {
        status = StatusOf(errno);
        return nullptr;
    }
    // The umask would narrow the mode given to open; fchmod sets it whole
    // before anything is written.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777);
    if (fd < 0) {
        status = StatusOf(errno);
        return nullptr;
    }
    auto file = std::make_unique<PosixNewFile>(fd);
    if (::fchmod(fd, info.st_mode & 07777) != 0) {
        status = StatusOf(errno);
        file.reset();
        ::unlink(path.c_str());
        return nullptr;
    }
    status = {};
    return file;
}

FileStatus PosixFileSystem::MoveOver(const std::string& from, const std::string& to) {
    return StatusOfCall(::rename(from.c_str(), to.c_str()));
}

bool PosixFileInspector::IsDirectory(std::string_view path) {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(path), error);
}

bool PosixFileInspector::IsFile(std::string_view path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error) &&
           !std::filesystem::is_directory(std::filesystem::path(path), error);
}

bool PosixFileInspector::Exists(std::string_view path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::filesystem::path(path), error);
    return status.type() != std::filesystem::file_type::not_found;
}

std::optional<std::string> PosixFileInspector::ReadHead(std::string_view path, std::size_t maxBytes) {
    if (IsDirectory(path)) return std::nullopt;
    std::ifstream in{std::string(path), std::ios::binary};
    if (!in) return std::nullopt;
    std::string bytes(maxBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(maxBytes));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::optional<std::string> PosixFileInspector::ReadTail(std::string_view path, std::size_t maxBytes) {
    if (IsDirectory(path)) return std::nullopt;
    std::ifstream in{std::string(path), std::ios::binary};
    if (!in) return std::nullopt;
    std::string whole{std::istreambuf_iterator<char>(in), {}};
    if (whole.size() > maxBytes) whole.erase(0, whole.size() - maxBytes);
    return whole;
}

std::optional<std::vector<DirectoryItem>> PosixFileInspector::List(std::string_view directory) {
    std::error_code error;
    std::vector<DirectoryItem> items;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(directory), error))
        items.push_back({entry.path().filename().string(), entry.is_directory()});
    if (error) return std::nullopt;
    return items;
}

}  // namespace qm::test

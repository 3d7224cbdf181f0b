#ifndef _WIN32

#include "xml/posix_file_replacer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace qm::xml {
namespace {

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

bool PosixFileReplacer::Replace(const std::string& path, std::string_view bytes, std::string& reason) {
  struct stat original {};
  if (::stat(path.c_str(), &original) != 0) {
    reason = ErrnoText(("cannot read the attributes of " + path).c_str());
    return false;
  }
  if (!S_ISREG(original.st_mode)) {
    reason = path + " is not a regular file";
    return false;
  }
  if ((original.st_mode & S_IWUSR) == 0) {
    reason = path + " is read-only";
    return false;
  }

  const std::string directory = DirectoryOf(path);
  const std::string baseName = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  std::string pattern = directory + "/." + baseName + ".new-XXXXXX";
  std::vector<char> temporaryName(pattern.begin(), pattern.end());
  temporaryName.push_back('\0');
  const int fd = ::mkstemp(temporaryName.data());
  if (fd < 0) {
    reason = ErrnoText(("cannot create a temporary file in " + directory).c_str());
    return false;
  }
  const std::string temporary(temporaryName.data());
  const auto abandon = [&](const std::string& why) {
    reason = why;
    ::close(fd);
    ::unlink(temporary.c_str());
    return false;
  };
  if (::fchmod(fd, original.st_mode & 07777) != 0) return abandon(ErrnoText("cannot set the permissions"));
  // Only root may hand the file to its old owner; others keep their own.
  if (::geteuid() == 0 && ::fchown(fd, original.st_uid, original.st_gid) != 0) {
    return abandon(ErrnoText("cannot keep the owner"));
  }
  if (!WriteAll(fd, bytes)) return abandon(ErrnoText(("cannot write " + temporary).c_str()));
  if (::fsync(fd) != 0) return abandon(ErrnoText(("cannot flush " + temporary).c_str()));
  if (::close(fd) != 0) {
    reason = ErrnoText(("cannot close " + temporary).c_str());
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    reason = ErrnoText(("cannot replace " + path).c_str());
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself is durable only once the directory is flushed; the
  // file is already complete either way, so a failure here is not one.
  const int directoryFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
  if (directoryFd >= 0) {
    ::fsync(directoryFd);
    ::close(directoryFd);
  }
  return true;
}

}  // namespace qm::xml

#endif  // _WIN32

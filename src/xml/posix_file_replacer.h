// FileReplacer for POSIX systems: temporary file in the same directory,
// fsync, rename over the original. Not built for Windows, which has its
// own replacer that keeps attributes and security descriptors.
#pragma once

#ifndef _WIN32

#include "xml/file_replacer.h"

namespace qm::xml {

class PosixFileReplacer final : public FileReplacer {
 public:
  // A file with no write permission for its owner counts as read-only, as
  // the read-only attribute would on Windows; the new file gets the old
  // one's permission bits.
  bool Replace(const std::string& path, std::string_view bytes, std::string& reason) override;
};

}  // namespace qm::xml

#endif  // _WIN32

// Replacing a file's contents all at once: the new bytes go to a temporary
// file beside the old one, which is then swapped in, so a crash or a full
// disk never leaves a half-written server.xml. Each platform implements it
// with its own means of keeping the file's attributes and security.
#pragma once

#include <string>
#include <string_view>

namespace qm::xml {

class FileReplacer {
 public:
  virtual ~FileReplacer() = default;

  // Replaces the existing file at path (UTF-8) with bytes. Refuses a
  // missing or read-only file. On failure the original is untouched, no
  // temporary file is left behind and reason says what went wrong.
  virtual bool Replace(const std::string& path, std::string_view bytes, std::string& reason) = 0;
};

}  // namespace qm::xml

#pragma once

#include <string>
#include <string_view>

#include "tomcat/server_xml_port.h"
#include "xml/file_replacer.h"

namespace qm::win32 {

// server.xml is there when its path names a file, not a directory.
class WindowsFileProbe final : public tomcat::FileProbe {
public:
    bool IsFile(const std::string& path) const override;
};

// Replaces a file whole: the new bytes go to a temporary file in the same
// directory, flushed to the disk, which ReplaceFileW then puts in the
// original's place with the original's attributes, security and creation
// time. A file with the read-only attribute is refused before anything is
// written.
class WindowsFileReplacer final : public xml::FileReplacer {
public:
    bool Replace(const std::string& path, std::string_view bytes, std::string& reason) override;
};

}  // namespace qm::win32

#pragma once

#include "platform/shell.h"

namespace qm::win32 {

class DesktopShell : public Shell {
public:
    bool DeleteTree(std::string_view path, std::string_view progressTitle) override;
    bool Exists(std::string_view path) const override;
    bool IsLink(std::string_view path) const override;
    bool RemoveLink(std::string_view path) override;
    bool StartIn(std::string_view file, std::string_view directory) override;
    bool Open(std::string_view file, std::string_view parameters) override;
};

}  // namespace qm::win32

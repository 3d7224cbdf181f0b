#pragma once

#include "platform/shell.h"

namespace qm::win32 {

class DesktopShell : public Shell {
public:
    FoundDirectory OpenDirectory(std::string_view path) override;
    bool StartIn(std::string_view program, std::string_view directory) override;
    bool Open(std::string_view program, std::string_view parameters) override;
    std::string SystemDirectory() const override;
};

}  // namespace qm::win32

#pragma once

#include "platform/shell.h"

namespace qm::win32 {

class DesktopShell : public Shell {
public:
    bool DeleteTree(std::string_view path, std::string_view progressTitle) override;
    PathKind KindOf(std::string_view path) const override;
    std::unique_ptr<HeldDirectory> HoldDirectory(std::string_view path) override;
    std::optional<std::vector<std::string>> LinksBelow(std::string_view directory) const override;
    bool RemoveLink(std::string_view path) override;
    bool StartIn(std::string_view program, std::string_view directory) override;
    bool Open(std::string_view program, std::string_view parameters) override;
    std::string SystemDirectory() const override;
};

}  // namespace qm::win32

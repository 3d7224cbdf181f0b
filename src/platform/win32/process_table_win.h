#pragma once

#include "platform/process_table.h"

namespace qm::win32 {

// The toolhelp snapshot, with module paths read through the process status API.
class ToolhelpProcessTable : public ProcessTable {
public:
    std::vector<ProcessEntry> Snapshot() override;
    std::unique_ptr<OpenedProcess> Open(std::uint32_t id) override;
    std::optional<std::string> ImagePath(std::uint32_t id) override;
    bool Terminate(std::uint32_t id) override;
    std::uint32_t OwnProcessId() const override;
};

}  // namespace qm::win32

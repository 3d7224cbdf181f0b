#pragma once

#include "platform/process_table.h"

#include <windows.h>

namespace qm::win32 {

// The full path of a process's executable, from a handle with at least
// PROCESS_QUERY_LIMITED_INFORMATION; nothing when the system won't say.
std::optional<std::string> ImagePathOf(HANDLE process);
// When the process started, in 100 ns units since 1601 (ProcessFacts::startTime).
std::optional<std::uint64_t> StartTimeOf(HANDLE process);

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

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// One line of the process table: the process identifier and the executable's
// file name (no directory), in the letter case the system reports.
struct ProcessEntry {
    std::uint32_t id = 0;
    std::string exeName;
};

// A process opened with full access. Destroying it closes the handle.
class OpenedProcess {
public:
    virtual ~OpenedProcess() = default;
    // The executable's full path as the system recorded it when the process
    // started (not as the process's own memory tells it); nothing when it
    // can't be read.
    virtual std::optional<std::string> ImagePath() = 0;
    // Whether the process has ended within the bound.
    virtual bool WaitForExit(std::chrono::milliseconds bound) = 0;
};

// The processes of the local machine.
class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    // A fresh snapshot; empty when the system refuses one.
    virtual std::vector<ProcessEntry> Snapshot() = 0;
    // Null when the process can't be opened with full access.
    virtual std::unique_ptr<OpenedProcess> Open(std::uint32_t id) = 0;
    // The executable's full path, asked with query rights only, which an
    // elevated process or one of another account still grants where it
    // refuses full access; nothing when even that is refused.
    virtual std::optional<std::string> ImagePath(std::uint32_t id) = 0;
    // Opens the process for termination only and ends it with exit code
    // 0xFFFFFFFF; whether the system accepted. Ending only starts: the process
    // may still be there when this returns.
    virtual bool Terminate(std::uint32_t id) = 0;
    virtual std::uint32_t OwnProcessId() const = 0;
};

}  // namespace qm

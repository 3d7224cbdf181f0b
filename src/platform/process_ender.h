#pragma once

// Ending one process that the diagnosis named, after making sure that the
// process held open is the one it saw: a process identifier is reused once
// its process is gone, so the start time and the image path must match too.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qm {

// A process held open for ending; the handle keeps its identifier from
// being given to another one meanwhile.
class EndableProcess {
public:
    virtual ~EndableProcess() = default;
    // When it started, in the unit ProcessFacts::startTime uses.
    virtual std::optional<std::uint64_t> StartTime() = 0;
    // The executable's full path as the system recorded it.
    virtual std::optional<std::string> ImagePath() = 0;
    // Whether the system accepted to end it.
    virtual bool End() = 0;
    virtual bool WaitForExit(std::chrono::milliseconds bound) = 0;
};

enum class OpenOutcome { Opened, Gone, Denied, Failed };

class ProcessEnder {
public:
    virtual ~ProcessEnder() = default;
    // The process with the rights to query and end it; null unless Opened.
    virtual std::unique_ptr<EndableProcess> Open(std::uint32_t id, OpenOutcome& outcome) = 0;
};

}  // namespace qm

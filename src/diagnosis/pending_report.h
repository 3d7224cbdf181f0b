#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "diagnosis/report.h"

namespace qm::diagnosis {

// What a diagnosis run in the background ends with: the rows, or the error
// that stopped it.
struct Outcome {
    std::vector<Row> rows;
    std::exception_ptr failure;
};

// Where a run in the background leaves its outcome for the window that asked
// for it. The window may go first: once closed, a delivery is dropped and
// nobody is told, so the run never reaches the window's state.
class PendingReport {
public:
    // announce is called once, on the delivering thread, when the outcome is
    // there to take; it must not wait for the window.
    explicit PendingReport(std::function<void()> announce) : announce_(std::move(announce)) {}

    void Deliver(Outcome outcome) {
        const std::lock_guard hold(lock_);
        if (closed_ || outcome_) return;
        outcome_ = std::move(outcome);
        // Under the lock: Close cannot slip in between, so the window is
        // still there when told.
        announce_();
    }

    // The delivered outcome, once; nothing before delivery, after it was
    // taken, or after Close.
    std::optional<Outcome> Take() {
        const std::lock_guard hold(lock_);
        if (closed_) return std::nullopt;
        return std::exchange(outcome_, std::nullopt);
    }

    void Close() {
        const std::lock_guard hold(lock_);
        closed_ = true;
        outcome_.reset();
    }

private:
    std::mutex lock_;
    std::function<void()> announce_;
    std::optional<Outcome> outcome_;
    bool closed_ = false;
};

}  // namespace qm::diagnosis

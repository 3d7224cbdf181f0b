#pragma once

#include <chrono>

namespace qm {

// Time that only goes forward, for the waits that have a bound.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::milliseconds Now() = 0;
};

class SteadyClock final : public Clock {
public:
    std::chrono::milliseconds Now() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};

}  // namespace qm

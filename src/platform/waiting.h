#pragma once

namespace qm {

// What a handler that waits on the GUI thread needs: a sleep, and a pump that
// handles every window message pending right now and returns (it never waits).
class Waiting {
public:
    virtual ~Waiting() = default;
    virtual void Sleep(unsigned milliseconds) = 0;
    virtual void PumpPendingMessages() = 0;
};

}  // namespace qm

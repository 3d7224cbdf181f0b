#pragma once

namespace qm::ui {

// One action of the window at a time. An action's waits pump the window's
// messages, so a click that comes meanwhile would run its handler nested
// inside the first, on a state the first has half changed: that click is
// dropped instead. Painting, moving and changing pages go on as usual.
class ActionGate {
public:
    bool Busy() const noexcept { return busy_; }

    // Runs action unless another one is running; whether it ran. The gate
    // opens again however action ends.
    template <typename Action>
    bool Run(Action&& action) {
        if (busy_) return false;
        busy_ = true;
        const Reopen reopen{busy_};
        action();
        return true;
    }

private:
    struct Reopen {
        bool& busy;
        ~Reopen() { busy = false; }
    };
    bool busy_ = false;
};

}  // namespace qm::ui

#include "support/lib/wait.h"

#include <thread>

namespace qm::test {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound,
               std::chrono::milliseconds interval) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(interval);
    }
}

}  // namespace qm::test

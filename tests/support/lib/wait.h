#pragma once

#include <chrono>
#include <functional>

namespace qm::test {

// Polls condition until it holds or the bound runs out; returns whether it held.
// Tests wait for what they expect to see, never for a fixed time.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound = std::chrono::seconds(10),
               std::chrono::milliseconds interval = std::chrono::milliseconds(10));

}  // namespace qm::test

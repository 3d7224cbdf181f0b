#pragma once

#include <functional>

namespace qm {

// Runs work on a thread of its own that nobody joins; throws
// std::system_error when no thread can be started. work must not throw.
void StartDetached(std::function<void()> work);

}  // namespace qm

#pragma once

#include "platform/waiting.h"

namespace qm {

// An attempt that fails only while another program holds what it needs (the
// clipboard, say) is made again after a pause, at most `tries` times in all.
// Whether one succeeded.
template <typename Attempt>
bool TryRepeatedly(Attempt&& attempt, int tries, unsigned pauseMilliseconds, Waiting& waiting) {
    for (int made = 0; made < tries; ++made) {
        if (made > 0) waiting.Sleep(pauseMilliseconds);
        if (attempt()) return true;
    }
    return false;
}

}  // namespace qm

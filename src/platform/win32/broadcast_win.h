#pragma once

#include "platform/broadcast.h"

namespace qm::win32 {

// WM_SETTINGCHANGE "Environment" to every top-level window, giving up on a
// hung window after about a second so that no other program can hold ours.
class WindowBroadcast : public EnvironmentBroadcast {
public:
    void EnvironmentChanged() override;
};

}  // namespace qm::win32

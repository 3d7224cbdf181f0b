#include "platform/win32/modal_scope_win.h"

namespace qm::win32 {

ModalScope::ModalScope() : focus_(GetFocus()) {
    EnumThreadWindows(GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(this));
}

ModalScope::~ModalScope() {
    for (HWND window : disabled_)
        if (IsWindow(window)) EnableWindow(window, TRUE);
    // The closed box gave the activation to its owner, which is never seen:
    // focusing the control activates its window again.
    if (focus_ && IsWindow(focus_) && IsWindowEnabled(focus_)) SetFocus(focus_);
}

// Nothing may be thrown through the system's enumeration: a window that
// can't be remembered is not disabled (the error box for a lack of memory
// comes this way too).
BOOL CALLBACK ModalScope::DisableOne(HWND window, LPARAM scope) {
    if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
    try {
        reinterpret_cast<ModalScope*>(scope)->disabled_.push_back(window);
    } catch (...) {
        return FALSE;
    }
    EnableWindow(window, FALSE);
    return TRUE;
}

}  // namespace qm::win32

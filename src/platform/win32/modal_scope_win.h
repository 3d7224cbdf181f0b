#pragma once

#include <windows.h>

#include <vector>

namespace qm::win32 {

// What every modal window of ours (a message box, the folder browser) needs
// around its own message loop: the program's other windows take no click,
// key or pick meanwhile. On entry every visible, enabled top-level window of
// this thread is disabled; on leaving, those are enabled again and the focus
// goes back to the control that had it. A window already disabled (by an
// outer scope) is left for whoever disabled it. Messages still flow: only
// input is held off.
class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    static BOOL CALLBACK DisableOne(HWND window, LPARAM scope);

    HWND focus_;
    std::vector<HWND> disabled_;
};

}  // namespace qm::win32

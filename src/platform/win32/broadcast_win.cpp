#include "platform/win32/broadcast_win.h"

#include <windows.h>

namespace qm::win32 {

void WindowBroadcast::EnvironmentChanged() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG,
                        1000, &result);
}

}  // namespace qm::win32

#pragma once

#include <windows.h>

namespace qm::app {

// One running copy per logon session. The slot is a 4-byte named mapping in
// the session's namespace holding the first copy's owner window (0 while
// nobody has registered). A later start asks that window to restore itself,
// brings its last active popup forward and ends.

void OpenInstanceSlot();

// True: another copy runs and has been asked to come forward; this one ends.
// False: this is the first copy (it is now registered), or the guard is inactive.
bool AlreadyRunning(HWND ownerWindow);

void CloseInstanceSlot();

inline constexpr wchar_t kInstanceSlotName[] = L"{CAF49BBB-AF40-4FDE-8757-51D5AEB58080}";

// A first copy that stopped handling messages must not keep a second start
// waiting for ever: the restore request gives up after this long.
inline constexpr UINT kRestoreTimeoutMs = 3000;

}  // namespace qm::app

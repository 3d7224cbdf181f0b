#include "app/single_instance_guard_win.h"

#include <cstdint>

#include "platform/win32/unique_handle.h"

namespace qm::app {
namespace {

win32::UniqueKernelHandle g_mapping;
win32::UniqueMappedView g_view;

volatile LONG* Slot() { return static_cast<volatile LONG*>(g_view.get()); }

// Window handles are 32-bit values on 64-bit Windows too, sign-extended.
HWND HandleFromSlot(LONG value) { return static_cast<HWND>(LongToHandle(value)); }
LONG SlotFromHandle(HWND hwnd) { return HandleToLong(hwnd); }

bool MapView() {
    g_view.reset(MapViewOfFile(g_mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!g_view) g_mapping.reset();
    return static_cast<bool>(g_view);
}

}  // namespace

void OpenInstanceSlot() {
    g_mapping.reset(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kInstanceSlotName));
    if (g_mapping) {
        MapView();
        return;
    }
    g_mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kInstanceSlotName));
    if (!g_mapping) return;
    // Another start may have created the mapping between our open and our
    // create, and may already have registered: only the creator writes 0.
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (MapView() && created) InterlockedExchange(Slot(), 0);
}

bool AlreadyRunning(HWND ownerWindow) {
    if (!g_view) return false;
    // Register unless someone already has; one atomic step, so two copies
    // started at the same instant cannot both find the slot empty.
    const LONG previous = InterlockedCompareExchange(Slot(), SlotFromHandle(ownerWindow), 0);
    if (previous == 0) return false;

    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HandleFromSlot(previous), WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, kRestoreTimeoutMs,
                        &ignored);

    const HWND running = HandleFromSlot(*Slot());
    const HWND popup = GetLastActivePopup(running);
    if (popup && popup != running && IsWindowVisible(popup) && IsWindowEnabled(popup)) SetForegroundWindow(popup);
    return true;
}

void CloseInstanceSlot() {
    g_view.reset();
    g_mapping.reset();
}

}  // namespace qm::app

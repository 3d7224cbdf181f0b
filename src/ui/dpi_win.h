#pragma once

#include <windows.h>

namespace qm::ui {

// The window's dots per inch (96 where the system cannot tell per window).
int WindowDpi(HWND window);

// The system's dots per inch: what a window gets unless its monitor has a scale of its own.
int SystemDpi();

// Grows a client rectangle to the window rectangle for that dpi.
void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

}  // namespace qm::ui

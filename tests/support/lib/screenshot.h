#pragma once

#include <windows.h>

#include <string>

namespace qm::test {

// What became of a capture: saved, or why not (in words for the test's log).
struct CaptureResult {
    bool saved = false;
    std::string failure;
    explicit operator bool() const noexcept { return saved; }
};

// Copies what the screen shows into a 24-bit .bmp file (ImageMagick turns it
// into a .png on the Linux side). Wine's null display driver has no pixels to
// copy: the capture then fails with a reason, it never crashes.
CaptureResult CaptureScreen(const std::wstring& bmpPath);  // the whole virtual screen
CaptureResult CaptureWindow(HWND window, const std::wstring& bmpPath);  // its rectangle, as on screen

// Whether the screen can be captured at all (false under the null driver).
bool ScreenHasPixels();

}  // namespace qm::test

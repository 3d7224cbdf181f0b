#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

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
CaptureResult CaptureScreen(const std::wstring& bmpPath);               // the whole virtual screen
CaptureResult CaptureWindow(HWND window, const std::wstring& bmpPath);  // its rectangle, as on screen

// The colours of one screen rectangle, row by row from the top.
struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> colours;
    COLORREF At(int x, int y) const {
        return colours[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};
std::optional<ScreenPixels> CapturePixels(const RECT& screenRect);
// The colours of one of our own icons drawn at that size over that background,
// to compare with what another process shows.
std::optional<ScreenPixels> RenderIcon(HICON icon, int width, int height, COLORREF background);

// Whether the screen can be captured at all (false under the null driver).
bool ScreenHasPixels();

}  // namespace qm::test

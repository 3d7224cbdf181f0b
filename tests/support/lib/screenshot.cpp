#include "support/lib/screenshot.h"

#include "platform/win32/unique_handle.h"

#include <vector>

namespace qm::test {
namespace {

struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc() {
        if (dc) ReleaseDC(nullptr, dc);
    }
};

struct MemoryDc {
    HDC dc;
    explicit MemoryDc(HDC compatible) : dc(CreateCompatibleDC(compatible)) {}
    ~MemoryDc() {
        if (dc) DeleteDC(dc);
    }
};

struct SelectedObject {
    HDC dc;
    HGDIOBJ previous;
    SelectedObject(HDC target, HGDIOBJ object) : dc(target), previous(SelectObject(target, object)) {}
    ~SelectedObject() {
        if (previous) SelectObject(dc, previous);
    }
};

inline void DeleteBitmap(HBITMAP bitmap) noexcept { DeleteObject(bitmap); }
using UniqueBitmap = win32::UniqueHandle<win32::NullIsInvalid<HBITMAP, DeleteBitmap>>;

CaptureResult Failed(std::string why) { return {false, std::move(why)}; }

// Pixels of one screen rectangle, bottom-up 24-bit rows padded to four bytes,
// as a BMP file stores them.
struct Capture {
    BITMAPINFOHEADER header{};
    std::vector<BYTE> pixels;
};

// Fills capture with what draw paints into a width x height DIB section.
template <typename Draw>
CaptureResult Paint(int width, int height, Capture& capture, Draw draw) {
    if (width <= 0 || height <= 0) return Failed("the rectangle to capture is empty");
    ScreenDc screen;
    if (!screen.dc) return Failed("no screen device context");
    MemoryDc memory(screen.dc);
    if (!memory.dc) return Failed("no memory device context");

    capture.header.biSize = sizeof(BITMAPINFOHEADER);
    capture.header.biWidth = width;
    capture.header.biHeight = height;  // positive: bottom-up, as BMP files are
    capture.header.biPlanes = 1;
    capture.header.biBitCount = 24;
    capture.header.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    capture.header.biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(height));

    void* bits = nullptr;
    UniqueBitmap section(
        CreateDIBSection(memory.dc, reinterpret_cast<BITMAPINFO*>(&capture.header), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || !bits) return Failed("no DIB section of " + std::to_string(width) + "x" + std::to_string(height));
    {
        SelectedObject selected(memory.dc, section.get());
        if (auto drawn = draw(memory.dc, screen.dc); !drawn) return drawn;
        GdiFlush();
    }
    const auto* first = static_cast<const BYTE*>(bits);
    capture.pixels.assign(first, first + capture.header.biSizeImage);
    return {true, {}};
}

CaptureResult CaptureRect(const RECT& rect, Capture& capture) {
    return Paint(rect.right - rect.left, rect.bottom - rect.top, capture, [&](HDC memory, HDC screen) {
        if (!BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top,
                    SRCCOPY | CAPTUREBLT))
            return Failed("BitBlt from the screen failed (error " + std::to_string(GetLastError()) +
                          "): the display driver has no pixels");
        return CaptureResult{true, {}};
    });
}

std::optional<ScreenPixels> ToPixels(const Capture& capture) {
    ScreenPixels pixels;
    pixels.width = capture.header.biWidth;
    pixels.height = capture.header.biHeight;
    const size_t stride = capture.pixels.size() / static_cast<size_t>(pixels.height);
    pixels.colours.reserve(static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height));
    for (int y = 0; y < pixels.height; ++y) {
        // The capture is stored bottom-up, blue first.
        const BYTE* row = capture.pixels.data() + stride * static_cast<size_t>(pixels.height - 1 - y);
        for (int x = 0; x < pixels.width; ++x, row += 3) pixels.colours.push_back(RGB(row[2], row[1], row[0]));
    }
    return pixels;
}

CaptureResult WriteBmp(const Capture& capture, const std::wstring& path) {
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + capture.header.biSizeImage;
    win32::UniqueFileHandle out(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return Failed("cannot create the file (error " + std::to_string(GetLastError()) + ")");
    auto write = [&](const void* data, DWORD size) {
        DWORD written = 0;
        return WriteFile(out.get(), data, size, &written, nullptr) && written == size;
    };
    if (!write(&file, sizeof(file)) || !write(&capture.header, sizeof(capture.header)) ||
        !write(capture.pixels.data(), static_cast<DWORD>(capture.pixels.size())))
        return Failed("cannot write the file (error " + std::to_string(GetLastError()) + ")");
    return {true, {}};
}

CaptureResult CaptureRectToFile(const RECT& rect, const std::wstring& path) {
    Capture capture;
    if (auto captured = CaptureRect(rect, capture); !captured) return captured;
    return WriteBmp(capture, path);
}

RECT VirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

}  // namespace

std::optional<ScreenPixels> CapturePixels(const RECT& screenRect) {
    Capture capture;
    if (!CaptureRect(screenRect, capture)) return std::nullopt;
    return ToPixels(capture);
}

std::optional<ScreenPixels> RenderIcon(HICON icon, int width, int height, COLORREF background) {
    Capture capture;
    const auto drawn = Paint(width, height, capture, [&](HDC memory, HDC) {
        const RECT all{0, 0, width, height};
        SetBkColor(memory, background);
        ExtTextOutW(memory, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);  // the cheapest solid fill
        if (!DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL))
            return Failed("cannot draw the icon");
        return CaptureResult{true, {}};
    });
    if (!drawn) return std::nullopt;
    return ToPixels(capture);
}

CaptureResult CaptureScreen(const std::wstring& bmpPath) { return CaptureRectToFile(VirtualScreen(), bmpPath); }

CaptureResult CaptureWindow(HWND window, const std::wstring& bmpPath) {
    RECT rect{};
    if (!GetWindowRect(window, &rect)) return Failed("no such window");
    return CaptureRectToFile(rect, bmpPath);
}

bool ScreenHasPixels() {
    const RECT screen = VirtualScreen();
    Capture capture;
    return CaptureRect({screen.left, screen.top, screen.left + 1, screen.top + 1}, capture).saved;
}

}  // namespace qm::test

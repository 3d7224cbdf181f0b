// Draws the program's main icon (32 x 32, 32 bits per pixel with alpha) and
// writes it as an .ico file: a teal tile with a white quill crossing a ring.
// Run by hand after a change to the drawing: make_icon src/app/quillmate.ico
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr int kSize = 32;
constexpr int kSamples = 4;  // per axis, for smooth edges

struct Rgba {
    double r, g, b, a;
};

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// Distance from point p to the segment a-b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double t = Clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy));
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// The colour of one sample point, in icon coordinates (0..32, y down).
Rgba Sample(double x, double y) {
    Rgba c{0, 0, 0, 0};
    // Rounded tile.
    const double r = 6.0, lo = 1.0, hi = 31.0;
    const double cx = std::clamp(x, lo + r, hi - r), cy = std::clamp(y, lo + r, hi - r);
    if (std::hypot(x - cx, y - cy) <= r) {
        const double shade = 0.85 + 0.15 * (1.0 - y / kSize);
        c = {0.05 * shade, 0.50 * shade, 0.55 * shade, 1.0};
    } else {
        return c;
    }
    // Ring.
    const double ring = std::hypot(x - 15.0, y - 15.5);
    const bool onRing = ring >= 7.0 && ring <= 9.6;
    // Quill: a tapering stroke from the lower left to the upper right.
    const double d = SegmentDistance(x, y, 8.0, 25.0, 26.0, 5.0);
    const double along = Clamp01(((x - 8.0) * 18.0 + (y - 25.0) * -20.0) / (18.0 * 18.0 + 20.0 * 20.0));
    const bool onQuill = d <= 0.6 + 2.2 * along;
    if (onRing || onQuill) c = {1.0, 1.0, 1.0, 1.0};
    // The quill's shaft line, darker, for a feather look.
    if (onQuill && d <= 0.45 && along > 0.15) c = {0.05, 0.40, 0.45, 1.0};
    return c;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& out, unsigned v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
        return 2;
    }
    std::vector<std::uint8_t> pixels;  // BGRA, bottom row first
    for (int row = kSize - 1; row >= 0; --row) {
        for (int col = 0; col < kSize; ++col) {
            Rgba sum{0, 0, 0, 0};
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Rgba s = Sample(col + (sx + 0.5) / kSamples, row + (sy + 0.5) / kSamples);
                    sum.r += s.r * s.a;
                    sum.g += s.g * s.a;
                    sum.b += s.b * s.a;
                    sum.a += s.a;
                }
            const double n = kSamples * kSamples;
            const double a = sum.a / n;
            auto channel = [&](double premultiplied) {
                return static_cast<std::uint8_t>(std::lround(a > 0 ? 255.0 * premultiplied / sum.a : 0.0));
            };
            pixels.push_back(channel(sum.b));
            pixels.push_back(channel(sum.g));
            pixels.push_back(channel(sum.r));
            pixels.push_back(static_cast<std::uint8_t>(std::lround(255.0 * a)));
        }
    }
    const unsigned maskBytes = kSize * 4;  // 1 bit per pixel, rows padded to 32 bits
    const unsigned imageBytes = 40 + static_cast<unsigned>(pixels.size()) + maskBytes;

    std::vector<std::uint8_t> out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, 1);  // one image
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, imageBytes);
    Put32(out, 6 + 16);  // offset of the image
    // BITMAPINFOHEADER: the height counts the colour image and the mask.
    Put32(out, 40);
    Put32(out, kSize);
    Put32(out, kSize * 2);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);  // BI_RGB
    Put32(out, static_cast<unsigned>(pixels.size()) + maskBytes);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    out.insert(out.end(), pixels.begin(), pixels.end());
    out.insert(out.end(), maskBytes, 0);  // the alpha channel decides; the mask is all opaque

    std::ofstream file(argv[1], std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return file ? 0 : 1;
}

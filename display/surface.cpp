#include "display/surface.h"

#include <cstdlib>
#include <limits>
#include <new>

#include "display/trig_tables.h"

namespace veldra {
namespace {

inline int32_t signOf(int32_t v) {
    return (v > 0) - (v < 0);
}

// The common bounds of circles and rings: the whole figure on the surface, clear of row 0.
// Widened so that huge radii cannot overflow the sums.
inline bool figureFits(const Surface& s, int64_t cx, int64_t cy, int64_t r) {
    return cx - r >= 0 && cx + r < s.width && cy + r < s.height && cy - r > 0;
}

}  // namespace

void initSurface(Surface& surface, int32_t width, int32_t height) {
    surface = Surface{0, 0, 0, nullptr};
    if (width < 0 || height < 0) return;
    const int64_t count = static_cast<int64_t>(width) * height;
    if (count > std::numeric_limits<int32_t>::max()) return;
    auto* pixels = new (std::nothrow) uint16_t[count > 0 ? count : 1];
    if (pixels == nullptr) return;
    surface.width = width;
    surface.pixels = pixels;
    surface.height = height;
    surface.flags = surfaceOwnsPixels | surfaceCreated;
}

void releaseSurface(Surface& surface) {
    if ((surface.flags & surfaceOwnsPixels) != 0) delete[] surface.pixels;
    surface.pixels = nullptr;
}

void rasterLine(Surface& surface, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t colour) {
    // No clipping: a line with any end point off the surface is dropped whole.
    if (x0 < 0 || y0 < 0 || x1 < 0 || y1 < 0) return;
    if (x0 >= surface.width || x1 >= surface.width) return;
    if (y0 >= surface.height || y1 >= surface.height) return;

    const int32_t dx = x1 - x0;
    const int32_t dy = y1 - y0;
    const int32_t ax = dx < 0 ? -dx : dx;
    const int32_t ay = dy < 0 ? -dy : dy;
    const int32_t sx = signOf(dx);
    const int32_t sy = signOf(dy);
    uint16_t* const pixels = surface.pixels;
    const int32_t stride = surface.width;
    int32_t x = x0;
    int32_t y = y0;

    if (ax >= ay) {  // x-major, 45 degrees included
        int32_t err = ay - (ax >> 1);
        for (;;) {
            pixels[y * stride + x] = colour;
            if (x == x1) return;
            if (err >= 0) {
                err -= ax;
                y += sy;
            }
            x += sx;
            err += ay;
        }
    }
    int32_t err = ax - (ay >> 1);
    for (;;) {
        pixels[y * stride + x] = colour;
        if (y == y1) return;
        if (err >= 0) {
            err -= ay;
            x += sx;
        }
        y += sy;
        err += ax;
    }
}

void rasterCircle(Surface& surface, int32_t cx, int32_t cy, int32_t r, uint16_t colour) {
    if (r < 0 || !figureFits(surface, cx, cy, r)) return;
    // The fit test bounds r by the surface size, so 8r + 1 cannot overflow.
    const int32_t step = 1024 / (8 * r + 1);
    uint16_t* const pixels = surface.pixels;
    const int32_t stride = surface.width;
    for (int32_t angle = 0; angle < 1024; angle += step) {
        // >> 10 is the division by the tables' scale 1024, rounding toward minus infinity.
        const int32_t x = cx + ((r * cos1024(static_cast<uint32_t>(angle))) >> 10);
        const int32_t y = cy + ((r * sin1024(static_cast<uint32_t>(angle))) >> 10);
        pixels[y * stride + x] = colour;
    }
}

void rasterRing(Surface& surface, int32_t cx, int32_t cy, int32_t inner, int32_t outer,
                uint16_t colour) {
    if (outer < 0 || !figureFits(surface, cx, cy, outer)) return;
    // Widened: inner is not bounded by the surface.
    const int64_t lo = static_cast<int64_t>(inner) * (static_cast<int64_t>(inner) - 1);
    const int64_t hi = static_cast<int64_t>(outer) * (outer + 1);
    uint16_t* const pixels = surface.pixels;
    const int32_t stride = surface.width;
    for (int32_t i = 0; i <= outer; ++i) {
        for (int32_t j = 0; j <= outer; ++j) {
            const int64_t d = static_cast<int64_t>(i) * i + static_cast<int64_t>(j) * j;
            if (d < lo || d > hi) continue;
            pixels[(cy + j) * stride + cx + i] = colour;
            pixels[(cy - j) * stride + cx + i] = colour;
            pixels[(cy + j) * stride + cx - i] = colour;
            pixels[(cy - j) * stride + cx - i] = colour;
        }
    }
}

}  // namespace veldra

// Surfaces and raster primitives: the off-screen pixel buffers of the display engine and
// the integer operations that draw into them.
//
// A Surface is a width x height block of RGB565 pixels (red bits 15-11, green 10-5, blue
// 4-0), row-major, row 0 at the top; width is also the row stride. Pixel (x, y) is element
// y * width + x. 0 is black (and see-through in the scale layer, see layers.h).
//
// Bounds, exactly as the drawing code relies on them:
//   plotPixel     no coordinate test: the caller keeps 0 <= x < width, 0 <= y < height.
//                 (A write whose element would fall outside the buffer is dropped, so a
//                 caller's slip never corrupts memory; inside the buffer x is not
//                 wrapped or clipped. The pens count every such slip, dropped or not,
//                 in DisplayState::offLayerWrites, so that tests can tell it happened.)
//   rasterLine    drawn only when both end points lie on the surface; no clipping.
//   rasterCircle  drawn only when the whole outline lies on the surface and clear of row 0.
//   rasterRing    same bounds as the circle, with the outer radius; outer < 0 draws nothing.
// Shapes that do not fit are skipped silently; drawing never fails.
//
// Units: coordinates and radii in pixels (signed 32-bit); colours RGB565.
// Thread: main thread only; no locking, no allocation except in initSurface.
#pragma once

#include <cstdint>

namespace veldra {

// Surface flags: the buffer is owned (released frees it); 1 is set alongside and unused.
inline constexpr uint32_t surfaceOwnsPixels = 4;
inline constexpr uint32_t surfaceCreated = 1;

struct Surface {
    uint32_t flags;    // 5 (owned | created) for surfaces made by initSurface, else 0
    int32_t width;     // pixels per row, and the row stride
    int32_t height;    // rows
    uint16_t* pixels;  // width * height RGB565 pixels; null when released or not allocated
};

// Allocates width * height pixels (contents left as the allocator gives them) and sets
// flags 5. When the buffer cannot be had (negative sizes, more than 2^31 - 1 pixels, or
// out of memory) the surface is left empty: flags 0, width 0, height 0, pixels null, on
// which every operation below draws nothing.
void initSurface(Surface& surface, int32_t width, int32_t height);

// Frees the buffer if the surface owns it; in every case sets pixels to null.
void releaseSurface(Surface& surface);

// Inline: the trace plots some 22,000 points a second through it. Only the buffer's own
// extent is guarded, widened so that no product overflows; as unsigned, a negative
// element compares above any size.
inline void plotPixel(Surface& surface, int32_t x, int32_t y, uint16_t colour) {
    const int64_t element = static_cast<int64_t>(y) * surface.width + x;
    const int64_t size = static_cast<int64_t>(surface.width) * surface.height;
    if (static_cast<uint64_t>(element) >= static_cast<uint64_t>(size)) return;
    surface.pixels[element] = colour;
}

// Straight line, both end points included, by the integer error-term walk with err >= 0
// as the step test: the pixels chosen depend on the direction of drawing.
void rasterLine(Surface& surface, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t colour);

// Circle outline of radius r as single points, at angles 0, step, 2 step, ... (in 1/1024
// turn, step = 1024 / (8r + 1)); needs the trig tables (trig_tables.h). r < 0 draws nothing.
void rasterCircle(Surface& surface, int32_t cx, int32_t cy, int32_t r, uint16_t colour);

// Every pixel whose squared distance d from the centre has
// inner * (inner - 1) <= d <= outer * (outer + 1); inner 0 or 1 gives a filled disc.
void rasterRing(Surface& surface, int32_t cx, int32_t cy, int32_t inner, int32_t outer,
                uint16_t colour);

}  // namespace veldra

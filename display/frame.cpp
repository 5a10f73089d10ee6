// The frame path: composition, the copy to display memory, fading. Each loop is written
// branch-free over whole RGB565 values so that the compiler vectorises it, and unrolled
// four times so that the loop's own counting and testing is paid once per 32 pixels
// rather than per 8; a test holds them to the plain per-pixel rules.
#include <cstddef>
#include <cstring>

#include "display/display_internal.h"
#include "display/layers.h"

namespace veldra {
namespace {

using display_internal::state;

// Every non-zero scale pixel covers the ink pixel under it: the ink is kept, through an
// all-ones mask, only where the scale is 0.
void composeLayers(const uint16_t* scale, uint16_t* ink, size_t count) {
#pragma GCC unroll 4
    for (size_t p = 0; p < count; ++p) {
        const uint16_t s = scale[p];
        const uint16_t inkShows = s == 0 ? 0xFFFF : 0;
        ink[p] = static_cast<uint16_t>(s | (ink[p] & inkShows));
    }
}

// Plot row i, column c of the ink goes to screen (c, top + i), for c in left..left+width-1.
void copyToScreen(const uint16_t* ink, uint16_t* base, ptrdiff_t xPitch, ptrdiff_t yPitch,
                  const PlotWindow& plot) {
    const size_t rowBytes = sizeof(uint16_t) * static_cast<size_t>(plot.width);
    for (int32_t i = 0; i < plot.height; ++i) {
        const uint16_t* src = ink + static_cast<ptrdiff_t>(i) * layerWidth + plot.left;
        uint16_t* dst = base + (plot.top + i) * yPitch + plot.left * xPitch;
        if (xPitch == 1) {
            std::memcpy(dst, src, rowBytes);
        } else {
            for (int32_t j = 0; j < plot.width; ++j)
                dst[j * xPitch] = src[j];
        }
    }
}

// Rotated memory (x pitch -320, y pitch 1): a screen column is a memory row. Walking the
// plot in 8 x 8 tiles keeps both the reads and the writes within a few cache lines.
void copyToRotatedScreen(const uint16_t* ink, uint16_t* base, ptrdiff_t xPitch,
                         const PlotWindow& plot) {
    constexpr int32_t tile = 8;
    for (int32_t i0 = 0; i0 < plot.height; i0 += tile) {
        const int32_t i1 = i0 + tile < plot.height ? i0 + tile : plot.height;
        for (int32_t j0 = 0; j0 < plot.width; j0 += tile) {
            const int32_t j1 = j0 + tile < plot.width ? j0 + tile : plot.width;
            for (int32_t j = j0; j < j1; ++j) {
                const int32_t column = plot.left + j;
                uint16_t* dst = base + column * xPitch + plot.top;
                const uint16_t* src = ink + column;
                for (int32_t i = i0; i < i1; ++i)
                    dst[i] = src[static_cast<ptrdiff_t>(i) * layerWidth];
            }
        }
    }
}

// Each channel c becomes c - (c >> 2); the mask keeps a channel's shifted bits from
// spilling into its neighbour.
void fadeQuarter(uint16_t* ink, size_t count) {
#pragma GCC unroll 4
    for (size_t p = 0; p < count; ++p) {
        const uint16_t v = ink[p];
        ink[p] = static_cast<uint16_t>(v - ((v >> 2) & 0x39E7));
    }
}

// (v + 31) >> 5 is 1 exactly when a 5-bit field v is not 0: the lowest bit of each
// channel that has something to lose (for green, only its low five bits count).
void fadeStep(uint16_t* ink, size_t count) {
#pragma GCC unroll 4
    for (size_t p = 0; p < count; ++p) {
        const uint32_t v = ink[p];
        const uint32_t red = (((v >> 11) + 31) >> 5) << 11;
        const uint32_t green = ((((v >> 5) & 31) + 31) >> 5) << 5;
        const uint32_t blue = ((v & 31) + 31) >> 5;
        ink[p] = static_cast<uint16_t>((v - (red | green | blue)) & 0x7BEF);
    }
}

}  // namespace

void presentFrame() {
    const DisplayState& d = state();
    if (d.drawingSuspended || !d.displayOpen) return;
    const display_internal::MemoryAccess access = display_internal::beginMemoryAccess();
    if (access.base == nullptr) return;
    const size_t count = static_cast<size_t>(layerWidth) * static_cast<size_t>(d.plot.height);
    composeLayers(ScaleLayer.pixels, InkLayer.pixels, count);
    if (d.xPitch == -layerHeight && d.yPitch == 1) {
        copyToRotatedScreen(InkLayer.pixels, access.base, d.xPitch, d.plot);
    } else {
        copyToScreen(InkLayer.pixels, access.base, d.xPitch, d.yPitch, d.plot);
    }
    display_internal::endMemoryAccess(access);
}

void fadeInk() {
    DisplayState& d = state();
    d.fadeAccumulator += 40;
    if (d.fadeAccumulator < 100) return;
    d.fadeAccumulator -= 100;
    const size_t count = static_cast<size_t>(layerWidth) * static_cast<size_t>(d.plot.height);
    if (d.fadeQuarterNext) {
        fadeQuarter(InkLayer.pixels, count);
    } else {
        fadeStep(InkLayer.pixels, count);
    }
    d.fadeQuarterNext = !d.fadeQuarterNext;
}

}  // namespace veldra

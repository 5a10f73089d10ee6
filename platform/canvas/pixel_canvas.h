// Pixel canvas: a view of 16-bit RGB565 memory laid out by pitches, with a clipping
// rectangle, and the few raster operations the window system's chrome, dialogs and text
// need: fill, bitmap copy, frames, blending.
//
// Coordinates are the canvas's own (for the window system: screen pixels, (0, 0) the
// top-left corner of the 240 x 320 screen). Nothing outside clip is ever written, and
// clip must lie inside the memory the canvas stands for. No allocation; any thread that
// owns the memory.
#pragma once

#include <cstdint>

#include "platform/screen/screen.h"

namespace veldra {

struct PixelCanvas {
    uint16_t* base;  // pixel (0, 0)
    int32_t xPitch;  // 16-bit pixels from a pixel to its right neighbour
    int32_t yPitch;  // 16-bit pixels from a pixel to the one below
    Rect clip;       // the only pixels that may be written; right and bottom exclusive
};

// The overlap of two rectangles; empty (right <= left or bottom <= top) when none.
Rect intersectRects(const Rect& a, const Rect& b);
bool isEmptyRect(const Rect& r);
bool rectContains(const Rect& r, int32_t x, int32_t y);

// The same canvas with its clip narrowed to rect.
PixelCanvas clippedCanvas(const PixelCanvas& canvas, const Rect& rect);

void putPixel(const PixelCanvas& canvas, int32_t x, int32_t y, uint16_t colour);
uint16_t pixelAt(const PixelCanvas& canvas, int32_t x, int32_t y);  // 0 outside clip
void fillRect(const PixelCanvas& canvas, const Rect& rect, uint16_t colour);
// A one-pixel outline just inside rect.
void frameRect(const PixelCanvas& canvas, const Rect& rect, uint16_t colour);
// The whole bitmap with its top-left corner at (x, y).
void copyBitmap(const PixelCanvas& canvas, const Bitmap& bitmap, int32_t x, int32_t y);

// from + (to - from) * amount / 255 in each 8-bit channel, then RGB565. amount 0..255.
uint16_t blendColours(ColourRef from, ColourRef to, uint32_t amount);

}  // namespace veldra

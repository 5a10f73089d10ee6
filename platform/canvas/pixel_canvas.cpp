#include "platform/canvas/pixel_canvas.h"

#include <algorithm>
#include <cstddef>

namespace veldra {

Rect intersectRects(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool isEmptyRect(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

bool rectContains(const Rect& r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

PixelCanvas clippedCanvas(const PixelCanvas& canvas, const Rect& rect) {
    PixelCanvas narrowed = canvas;
    narrowed.clip = intersectRects(canvas.clip, rect);
    return narrowed;
}

void putPixel(const PixelCanvas& canvas, int32_t x, int32_t y, uint16_t colour) {
    if (!rectContains(canvas.clip, x, y)) return;
    canvas.base[static_cast<ptrdiff_t>(x) * canvas.xPitch +
                static_cast<ptrdiff_t>(y) * canvas.yPitch] = colour;
}

uint16_t pixelAt(const PixelCanvas& canvas, int32_t x, int32_t y) {
    if (!rectContains(canvas.clip, x, y)) return 0;
    return canvas.base[static_cast<ptrdiff_t>(x) * canvas.xPitch +
                       static_cast<ptrdiff_t>(y) * canvas.yPitch];
}

void fillRect(const PixelCanvas& canvas, const Rect& rect, uint16_t colour) {
    const Rect r = intersectRects(canvas.clip, rect);
    for (int32_t y = r.top; y < r.bottom; ++y) {
        uint16_t* p = canvas.base + static_cast<ptrdiff_t>(y) * canvas.yPitch +
                      static_cast<ptrdiff_t>(r.left) * canvas.xPitch;
        for (int32_t x = r.left; x < r.right; ++x, p += canvas.xPitch)
            *p = colour;
    }
}

void frameRect(const PixelCanvas& canvas, const Rect& rect, uint16_t colour) {
    if (isEmptyRect(rect)) return;
    fillRect(canvas, {rect.left, rect.top, rect.right, rect.top + 1}, colour);
    fillRect(canvas, {rect.left, rect.bottom - 1, rect.right, rect.bottom}, colour);
    fillRect(canvas, {rect.left, rect.top, rect.left + 1, rect.bottom}, colour);
    fillRect(canvas, {rect.right - 1, rect.top, rect.right, rect.bottom}, colour);
}

void copyBitmap(const PixelCanvas& canvas, const Bitmap& bitmap, int32_t x, int32_t y) {
    if (bitmap.pixels == nullptr || bitmap.width <= 0 || bitmap.height <= 0) return;
    // Widened: a far-off position must not overflow on its way to being clipped.
    const int64_t left = std::max<int64_t>(x, canvas.clip.left);
    const int64_t right = std::min<int64_t>(int64_t{x} + bitmap.width, canvas.clip.right);
    const int64_t top = std::max<int64_t>(y, canvas.clip.top);
    const int64_t bottom = std::min<int64_t>(int64_t{y} + bitmap.height, canvas.clip.bottom);
    for (int64_t sy = top; sy < bottom; ++sy) {
        const uint16_t* source = bitmap.pixels + (sy - y) * bitmap.width;
        for (int64_t sx = left; sx < right; ++sx) {
            canvas.base[sx * canvas.xPitch + sy * canvas.yPitch] = source[sx - x];
        }
    }
}

uint16_t blendColours(ColourRef from, ColourRef to, uint32_t amount) {
    uint32_t channels[3];
    for (int32_t c = 0; c < 3; ++c) {
        const int32_t a = static_cast<int32_t>((from >> (8 * c)) & 0xFF);
        const int32_t b = static_cast<int32_t>((to >> (8 * c)) & 0xFF);
        channels[c] = static_cast<uint32_t>(a + (b - a) * static_cast<int32_t>(amount) / 255);
    }
    return rgb565(channels[0], channels[1], channels[2]);
}

}  // namespace veldra

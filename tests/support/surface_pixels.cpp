#include "tests/support/surface_pixels.h"

namespace veldra {

Pixels litPixels(const Surface& surface, int32_t cx, int32_t cy) {
    Pixels lit;
    for (int32_t p = 0; p < surface.width * surface.height; ++p)
        if (surface.pixels[p] != 0) lit.insert({p % surface.width - cx, p / surface.width - cy});
    return lit;
}

int32_t countPixels(const Surface& surface, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    uint16_t colour) {
    int32_t n = 0;
    for (int32_t y = y0; y <= y1; ++y) {
        for (int32_t x = x0; x <= x1; ++x) {
            const uint16_t v = surface.pixels[y * surface.width + x];
            n += colour == 0 ? v != 0 : v == colour;
        }
    }
    return n;
}

int32_t countPixels(const Surface& surface, uint16_t colour) {
    return countPixels(surface, 0, 0, surface.width - 1, surface.height - 1, colour);
}

}  // namespace veldra

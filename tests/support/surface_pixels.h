// Looking at what was drawn into a surface: the set of lit pixels, and counts of pixels
// of a colour in a box.
#pragma once

#include <cstdint>
#include <set>
#include <utility>

#include "display/surface.h"

namespace veldra {

using Pixels = std::set<std::pair<int32_t, int32_t>>;

// The pixels that are not 0, as (x - cx, y - cy).
Pixels litPixels(const Surface& surface, int32_t cx = 0, int32_t cy = 0);

// Pixels of the colour (any but 0 when colour is 0) in the box [x0, x1] x [y0, y1], or
// in the whole surface.
int32_t countPixels(const Surface& surface, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    uint16_t colour = 0);
int32_t countPixels(const Surface& surface, uint16_t colour = 0);

}  // namespace veldra

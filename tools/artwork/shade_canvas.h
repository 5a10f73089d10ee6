// A canvas of 16 shades, 0 (black) to 15 (full orange), that the artwork is drawn on.
//
// Lines are drawn smoothed: a pixel's shade follows how much of it a stroke of the given
// half width covers (its centre's distance from the stroke, softened over one pixel),
// and overlapping strokes keep the brighter shade. Coordinates are continuous: pixel
// (i, j) covers [i, i + 1) x [j, j + 1), so its centre is (i + 0.5, j + 0.5).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veldra::artwork {

inline constexpr int fullShade = 15;

struct Point {
    double x;
    double y;
};

struct ShadeCanvas {
    int width;
    int height;
    std::vector<uint8_t> shades;  // row-major, row 0 at the top; 0..15

    ShadeCanvas(int w, int h) : width(w), height(h), shades(static_cast<size_t>(w) * h, 0) {}
    uint8_t at(int x, int y) const { return shades[static_cast<size_t>(y) * width + x]; }
    void raise(int x, int y, int shade);  // keeps the brighter of the two; off-canvas ignored
};

// A smoothed straight stroke from a to b.
void strokeSegment(ShadeCanvas& canvas, Point a, Point b, double halfWidth);

// A smoothed stroke through the points in order.
void strokePath(ShadeCanvas& canvas, const std::vector<Point>& path, double halfWidth);

// A 7 x 7 pixel letter in full shade with its top-left pixel at (left, top). Rows are
// 7-character strings in which 'o' marks a lit pixel.
using Glyph = const char* const[7];
void stampGlyph(ShadeCanvas& canvas, const Glyph& glyph, int left, int top);

}  // namespace veldra::artwork

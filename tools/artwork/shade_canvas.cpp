#include "tools/artwork/shade_canvas.h"

#include <algorithm>
#include <cmath>

namespace veldra::artwork {
namespace {

double distanceToSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0.0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

}  // namespace

void ShadeCanvas::raise(int x, int y, int shade) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t& s = shades[static_cast<size_t>(y) * width + x];
    s = static_cast<uint8_t>(std::max<int>(s, shade));
}

void strokeSegment(ShadeCanvas& canvas, Point a, Point b, double halfWidth) {
    const double reach = halfWidth + 1.0;
    const int x0 = static_cast<int>(std::floor(std::min(a.x, b.x) - reach));
    const int x1 = static_cast<int>(std::ceil(std::max(a.x, b.x) + reach));
    const int y0 = static_cast<int>(std::floor(std::min(a.y, b.y) - reach));
    const int y1 = static_cast<int>(std::ceil(std::max(a.y, b.y) + reach));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const double d = distanceToSegment({x + 0.5, y + 0.5}, a, b);
            // Full inside the stroke less half a pixel, fading to nothing half a pixel
            // beyond its edge: a cheap stand-in for the covered area.
            const double coverage = std::clamp(halfWidth + 0.5 - d, 0.0, 1.0);
            canvas.raise(x, y, static_cast<int>(std::lround(coverage * fullShade)));
        }
    }
}

void strokePath(ShadeCanvas& canvas, const std::vector<Point>& path, double halfWidth) {
    for (size_t i = 1; i < path.size(); ++i)
        strokeSegment(canvas, path[i - 1], path[i], halfWidth);
}

void stampGlyph(ShadeCanvas& canvas, const Glyph& glyph, int left, int top) {
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 7 && glyph[row][column] != '\0'; ++column) {
            if (glyph[row][column] == 'o') canvas.raise(left + column, top + row, fullShade);
        }
    }
}

}  // namespace veldra::artwork

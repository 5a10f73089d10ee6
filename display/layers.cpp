#include "display/layers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/display_internal.h"
#include "display/font.h"

namespace veldra {

constexpr size_t layerBytes = sizeof(uint16_t) * layerWidth * layerHeight;

// Zero-initialised before any dynamic initialisation runs, so other start-up code sees
// empty surfaces rather than garbage even if it ran first; layerLifetime below allocates
// them.
Surface BackgroundLayer{};
Surface ScaleLayer{};
Surface InkLayer{};

namespace {

// Creates the layers during static initialisation (before main) and frees them after
// main returns. Defined after the layers in this file, so it is constructed after them
// and destroyed before anything else in this file.
struct LayerLifetime {
    LayerLifetime() {
        initSurface(BackgroundLayer, layerWidth, layerHeight);
        initSurface(ScaleLayer, layerWidth, layerHeight);
        initSurface(InkLayer, layerWidth, layerHeight);
        if (BackgroundLayer.pixels == nullptr || ScaleLayer.pixels == nullptr ||
            InkLayer.pixels == nullptr) {
            std::fputs("veldra: not enough memory for the three 240 x 320 display layers\n",
                       stderr);
            std::_Exit(1);
        }
    }
    ~LayerLifetime() {
        releaseSurface(InkLayer);
        releaseSurface(ScaleLayer);
        releaseSurface(BackgroundLayer);
    }
    LayerLifetime(const LayerLifetime&) = delete;
    LayerLifetime& operator=(const LayerLifetime&) = delete;
};

LayerLifetime layerLifetime;

struct PenChoice {
    Surface* layer;
    uint16_t colour;
};

PenChoice choosePen(int32_t pen) {
    switch (pen) {
        case PenInk:
            return {&InkLayer, display_internal::state().inkColour};
        case PenScaleErase:
            return {&ScaleLayer, 0};
        case PenInkErase:
            return {&InkLayer, 0};
        case PenScale:
            return {&ScaleLayer, scaleColour};
        default:
            return {&InkLayer, otherPenColour};
    }
}

// x in plot-window coordinates to layer columns, left being the plot window's left edge.
// Wrapping (as the 32-bit arithmetic of the device does) keeps absurd inputs defined; the
// raster bounds then drop them.
int32_t layerX(int32_t x, int32_t left) {
    return static_cast<int32_t>(static_cast<uint32_t>(x) + static_cast<uint32_t>(left));
}

int32_t layerX(int32_t x) {
    return layerX(x, display_internal::state().plot.left);
}

// 1 for a point off the layer (which plotPixel does not test for), else 0.
int32_t offLayer(const Surface& layer, int32_t x, int32_t y) {
    return static_cast<uint32_t>(x) >= static_cast<uint32_t>(layer.width) ||
                   static_cast<uint32_t>(y) >= static_cast<uint32_t>(layer.height)
               ? 1
               : 0;
}

// The points of a batch that lie off the layer. The trace's points always lie on it, so
// the batch's extremes are looked at first, in loops the compiler turns into vector code,
// and the points one by one only when the extremes leave the layer.
int32_t pointsOffLayer(const Surface& layer, const int16_t* xs, const int16_t* ys, int32_t count,
                       int32_t left) {
    int16_t lowX = INT16_MAX, highX = INT16_MIN, lowY = INT16_MAX, highY = INT16_MIN;
    for (int32_t k = 0; k < count; ++k) {
        lowX = std::min(lowX, xs[k]);
        highX = std::max(highX, xs[k]);
        lowY = std::min(lowY, ys[k]);
        highY = std::max(highY, ys[k]);
    }
    // left is 0..240, so these sums cannot wrap as layerX's may.
    if (lowX + left >= 0 && highX + left < layer.width && lowY >= 0 && highY < layer.height)
        return 0;
    int32_t strays = 0;
    for (int32_t k = 0; k < count; ++k)
        strays += offLayer(layer, layerX(xs[k], left), ys[k]);
    return strays;
}

}  // namespace

bool setPlotWindow(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (left < 0 || top < 0 || width < 0 || height < 0) return false;
    if (left > layerWidth - width || top > layerHeight - height) return false;
    display_internal::state().plot = PlotWindow{left, top, width, height};
    return true;
}

void setInkColour(int32_t pen, int32_t red, int32_t green, int32_t blue) {
    if (pen != PenInk) return;
    const uint32_t colour = ((static_cast<uint32_t>(red) & 0xF8) << 8) |
                            ((static_cast<uint32_t>(green) & 0xFC) << 3) |
                            static_cast<uint32_t>(blue >> 3);
    display_internal::state().inkColour = static_cast<uint16_t>(colour);
}

void drawPoint(int32_t pen, int32_t x, int32_t y) {
    const PenChoice p = choosePen(pen);
    const int32_t lx = layerX(x);
    display_internal::state().offLayerWrites += offLayer(*p.layer, lx, y);
    plotPixel(*p.layer, lx, y, p.colour);
}

void drawPoints(int32_t pen, const int16_t* xs, const int16_t* ys, int32_t count) {
    const PenChoice p = choosePen(pen);
    const int32_t left = display_internal::state().plot.left;
    // A copy of the layer's record, so that the compiler need not read its fields again
    // after every store into the pixels.
    Surface layer = *p.layer;
    for (int32_t k = 0; k < count; ++k)
        plotPixel(layer, layerX(xs[k], left), ys[k], p.colour);
    display_internal::state().offLayerWrites += pointsOffLayer(layer, xs, ys, count, left);
}

void drawLine(int32_t pen, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const PenChoice p = choosePen(pen);
    rasterLine(*p.layer, layerX(x0), y0, layerX(x1), y1, p.colour);
}

void drawCircle(int32_t pen, int32_t cx, int32_t cy, int32_t radius) {
    const PenChoice p = choosePen(pen);
    rasterCircle(*p.layer, layerX(cx), cy, radius, p.colour);
}

void drawRing(int32_t pen, int32_t cx, int32_t cy, int32_t inner, int32_t outer) {
    const PenChoice p = choosePen(pen);
    rasterRing(*p.layer, layerX(cx), cy, inner, outer, p.colour);
}

void drawText(int32_t pen, const char* text, int32_t x, int32_t y) {
    const PenChoice p = choosePen(pen);
    rasterText(*p.layer, text, layerX(x), y, p.colour);
}

void resetLayers() {
    std::memcpy(ScaleLayer.pixels, BackgroundLayer.pixels, layerBytes);
    clearInk();
}

void clearInk() {
    std::memset(InkLayer.pixels, 0, layerBytes);
}

}  // namespace veldra

#include "platform/screen/headless_window.h"

#include <algorithm>

#include "platform/screen/game_display.h"

namespace veldra {

HeadlessWindow::HeadlessWindow(HeadlessScreen& screen, Rect screenRect)
    : screen_(screen), rect_(screenRect), context_(*this) {}

Rect HeadlessWindow::clientRect() const {
    return {0, 0, rect_.right - rect_.left, rect_.bottom - rect_.top};
}

DrawingContext* HeadlessWindow::getDrawingContext() {
    if (contextsOut_ == 0) context_.start();
    ++contextsOut_;
    return &context_;
}

void HeadlessWindow::releaseDrawingContext(DrawingContext&) {
    if (contextsOut_ > 0) --contextsOut_;
}

void HeadlessWindow::Context::start() {
    textColour_ = colourBlack;
    backgroundColour_ = colourWhite;
}

ColourRef HeadlessWindow::Context::setBackgroundColour(ColourRef colour) {
    const ColourRef before = backgroundColour_;
    backgroundColour_ = colour;
    return before;
}

ColourRef HeadlessWindow::Context::setTextColour(ColourRef colour) {
    const ColourRef before = textColour_;
    textColour_ = colour;
    return before;
}

void HeadlessWindow::Context::put(int32_t x, int32_t y, uint16_t colour) {
    const Rect& w = window_.rect_;
    if (x < 0 || y < 0 || x >= w.right - w.left || y >= w.bottom - w.top) return;
    window_.screen_.setPixel(w.left + x, w.top + y, colour);
}

void HeadlessWindow::Context::fillRect(const Rect& rect, ColourRef colour) {
    const Rect client = window_.clientRect();
    const uint16_t pixel = rgb565FromColourRef(colour);
    const int32_t left = std::max(rect.left, client.left);
    const int32_t right = std::min(rect.right, client.right);
    const int32_t top = std::max(rect.top, client.top);
    const int32_t bottom = std::min(rect.bottom, client.bottom);
    for (int32_t y = top; y < bottom; ++y) {
        for (int32_t x = left; x < right; ++x)
            put(x, y, pixel);
    }
}

void HeadlessWindow::Context::copyBitmap(const Bitmap& bitmap, int32_t x, int32_t y) {
    if (bitmap.pixels == nullptr) return;
    const Rect client = window_.clientRect();
    // Widened: a far-off position must not overflow on its way to being clipped.
    for (int64_t row = 0; row < bitmap.height; ++row) {
        const int64_t cy = y + row;
        if (cy < client.top || cy >= client.bottom) continue;
        for (int64_t column = 0; column < bitmap.width; ++column) {
            const int64_t cx = x + column;
            if (cx < client.left || cx >= client.right) continue;
            put(static_cast<int32_t>(cx), static_cast<int32_t>(cy),
                bitmap.pixels[row * bitmap.width + column]);
        }
    }
}

void HeadlessWindow::Context::drawText(std::string_view text, const Rect& rect, uint32_t flags) {
    window_.texts_.push_back({std::string(text), rect, flags, textColour_, backgroundColour_});
}

}  // namespace veldra

// Painting: invalidation, begin/end paint with erasing, and the drawing contexts that
// windows lend, which draw into the screen clipped to the window's client area.
#include "platform/windows/window_system_internal.h"

namespace veldra {
namespace window_internal {

namespace {

// The window's client area on the screen, as a canvas clipped to it.
PixelCanvas clientCanvas(const SystemWindow& w) {
    return clippedCanvas(screenCanvas(), w.rect);
}

Rect toScreen(const SystemWindow& w, const Rect& r) {
    return {r.left + w.rect.left, r.top + w.rect.top, r.right + w.rect.left, r.bottom + w.rect.top};
}

WindowContext* lend(SystemWindow& w) {
    for (WindowContext& c : w.contexts) {
        if (c.lent) continue;
        c.window = &w;
        c.lent = true;
        c.textColour = colourBlack;
        c.backgroundColour = colourWhite;
        return &c;
    }
    return nullptr;
}

}  // namespace

Screen& SystemWindow::screen() {
    return *state().screen;
}

DrawingContext* SystemWindow::getDrawingContext() {
    if (destroyed) return nullptr;
    return lend(*this);
}

void SystemWindow::releaseDrawingContext(DrawingContext& context) {
    for (WindowContext& c : contexts) {
        if (&c == &context) c.lent = false;
    }
    markDirty();
}

ColourRef WindowContext::setBackgroundColour(ColourRef colour) {
    const ColourRef before = backgroundColour;
    backgroundColour = colour;
    return before;
}

ColourRef WindowContext::setTextColour(ColourRef colour) {
    const ColourRef before = textColour;
    textColour = colour;
    return before;
}

void WindowContext::fillRect(const Rect& rect, ColourRef colour) {
    veldra::fillRect(clientCanvas(*window), toScreen(*window, rect), rgb565FromColourRef(colour));
}

void WindowContext::copyBitmap(const Bitmap& bitmap, int32_t x, int32_t y) {
    // Widened so that a far-off position is clipped rather than wrapped.
    const int64_t sx = int64_t{x} + window->rect.left;
    const int64_t sy = int64_t{y} + window->rect.top;
    if (sx < -bitmap.width || sy < -bitmap.height || sx > screenWidth || sy > screenHeight) return;
    veldra::copyBitmap(clientCanvas(*window), bitmap, static_cast<int32_t>(sx),
                       static_cast<int32_t>(sy));
}

void WindowContext::drawText(std::string_view text, const Rect& rect, uint32_t flags) {
    WindowSystemState& s = state();
    if (s.recordTexts)
        s.texts.push_back({window, std::string(text), rect, flags, textColour, backgroundColour});
    veldra::drawText(clientCanvas(*window), *s.fonts.text, text, toScreen(*window, rect), flags,
                     textColour, backgroundColour);
}

}  // namespace window_internal

using namespace window_internal;

bool invalidateWindow(WindowHandle window, bool erase) {
    SystemWindow* w = live(window);
    if (w == nullptr) return false;
    w->invalid = true;
    if (erase) w->erasePending = true;
    return true;
}

DrawingContext* beginPaint(WindowHandle window) {
    SystemWindow* w = live(window);
    if (w == nullptr) return nullptr;
    if (w->erasePending) {
        veldra::fillRect(clippedCanvas(screenCanvas(), w->rect), w->rect,
                         rgb565FromColourRef(w->background));
        w->erasePending = false;
    }
    w->invalid = false;
    markDirty();
    return lend(*w);
}

void endPaint(WindowHandle window, DrawingContext* context) {
    SystemWindow* w = live(window);
    if (w != nullptr && context != nullptr) w->releaseDrawingContext(*context);
    markDirty();
}

}  // namespace veldra

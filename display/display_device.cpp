#include "display/display_device.h"

#include <cstddef>
#include <initializer_list>

#include "display/display_internal.h"
#include "display/font.h"
#include "display/trig_tables.h"

namespace veldra {
namespace {

constexpr DisplayState startState() {
    DisplayState s{};
    s.inkColour = initialInkColour;
    s.xPitch = 1;
    s.yPitch = 1;
    s.fadeQuarterNext = true;
    return s;
}

DisplayState display = startState();

// The fixed-frame-buffer model's memory runs down the screen's columns, right to left.
constexpr int32_t fixedXPitch = -320;
constexpr int32_t fixedYPitch = 1;

constexpr const char* messageCaption = "Graphics";

// Characters 12-14 of the OEM text name the fixed-frame-buffer model.
bool isFixedFrameBufferModel(const Screen& screen) {
    char16_t text[oemInfoCapacity] = {};
    if (!screen.oemInfo(text, oemInfoCapacity)) return false;
    return text[12] == u'H' && text[13] == u'3' && text[14] == u'8';
}

bool refuse(Window& window, Screen& screen, const char* message, bool close) {
    display.refusal = message;
    screen.messageBox(&window, message, messageCaption, messageBoxExclamation);
    if (close) screen.closeDisplay();
    return false;
}

}  // namespace

namespace display_internal {

DisplayState& state() {
    return display;
}

MemoryAccess beginMemoryAccess() {
    Screen& screen = *display.screen;
    if (display.fixedFrameBuffer) return {screen.fixedFrameBuffer(), false};
    uint16_t* base = screen.beginDraw();
    return {base, base != nullptr};
}

void endMemoryAccess(const MemoryAccess& access) {
    if (access.endDrawOwed) display.screen->endDraw();
}

}  // namespace display_internal

bool openDisplay(Window& window) {
    Screen& screen = window.screen();
    if (!screen.openDisplay(window, fullScreenDisplay)) {
        return refuse(window, screen, "Cannot open to full screen mode", false);
    }
    screen.setViewport(0, screenHeight);

    const bool fixed = isFixedFrameBufferModel(screen);
    int32_t xPitch = fixedXPitch;
    int32_t yPitch = fixedYPitch;
    if (!fixed) {
        const DisplayProperties properties = screen.displayProperties();
        if (properties.bitsPerPixel != 16) {
            return refuse(window, screen, "Support only 16 bit pixel format.", true);
        }
        // Bytes to 16-bit pixels; the division truncates, so negative pitches stay negative.
        xPitch = properties.xPitchBytes / 2;
        yPitch = properties.yPitchBytes / 2;
        if (xPitch == 0 || yPitch == 0) {
            return refuse(window, screen, "Unsupported display offset.", true);
        }
    }
    display.fixedFrameBuffer = fixed;
    display.xPitch = xPitch;
    display.yPitch = yPitch;
    display.screen = &screen;
    display.displayOpen = true;
    return true;
}

bool prepareDisplay(Window& window, int32_t left, int32_t top, int32_t width, int32_t height) {
    const Rect origin = window.screenRect();
    display.windowLeft = origin.left;
    display.windowTop = origin.top;
    const bool placed = setPlotWindow(left, top, width, height);
    buildFont();
    buildTrigTables();
    return placed;
}

void captureBackground(Window& window, const Bitmap& bitmap) {
    if (!display.displayOpen || display.drawingSuspended) return;
    const PlotWindow& plot = display.plot;
    {
        ClientDrawing drawing(window);
        if (DrawingContext* context = drawing.get()) {
            context->setBackgroundColour(colourBlack);
            context->setTextColour(captureTextColour);
            context->copyBitmap(bitmap, display.windowLeft - plot.left,
                                display.windowTop - plot.top);
        }
    }
    const display_internal::MemoryAccess access = display_internal::beginMemoryAccess();
    if (access.base == nullptr) return;
    const ptrdiff_t xPitch = display.xPitch;
    const ptrdiff_t yPitch = display.yPitch;
    for (int32_t i = 0; i < plot.height; ++i) {
        const uint16_t* row = access.base + (plot.top + i) * yPitch;
        uint16_t* layerRow = BackgroundLayer.pixels + static_cast<ptrdiff_t>(i) * layerWidth;
        for (int32_t j = plot.left; j < plot.left + plot.width; ++j)
            layerRow[j] = row[j * xPitch];
    }
    display_internal::endMemoryAccess(access);
}

int closeDisplay() {
    if (display.displayOpen) display.screen->closeDisplay();
    display.displayOpen = false;
    display.screen = nullptr;
    return 0;
}

void suspendDrawing() {
    display.drawingSuspended = true;
}

void resumeDrawing() {
    display.drawingSuspended = false;
}

bool isDrawingSuspended() {
    return display.drawingSuspended;
}

const DisplayState& displayState() {
    return display;
}

void resetDisplay() {
    display = startState();
    resetFont();
    resetTrigTables();
    for (Surface* layer : {&BackgroundLayer, &ScaleLayer, &InkLayer}) {
        for (int32_t p = 0; p < layer->width * layer->height; ++p)
            layer->pixels[p] = 0;
    }
}

}  // namespace veldra

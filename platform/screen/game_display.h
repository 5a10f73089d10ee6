// Screen: the handheld's 240 x 320 RGB565 display memory and the calls that reach it.
//
// The display engine writes finished frames straight into display memory. A Screen is
// what it writes into: the game-display calls (open full-screen, viewport, properties,
// begin-draw / end-draw, close), the device's OEM information text, the fixed frame buffer
// of one device model, and message boxes. Implementations: HeadlessScreen (memory only,
// for tests and tools; headless_screen.h) and the SDL window system's screen, which shows
// the memory in a desktop window.
//
// How the display engine finds it: through the window it is given. openDisplay(window)
// takes window.screen() and keeps it until closeDisplay; so a program chooses its screen
// by the windows it creates, and any number of screens can exist side by side (one per
// test, say).
//
// Display memory is addressed as base + x * xPitch + y * yPitch 16-bit pixels, the pitches
// (reported in bytes) being whatever the device has: mirrored (negative) or rotated
// layouts are the screen's business, and the caller only follows the arithmetic.
//
// Thread: main thread only. Failure: openDisplay and oemInfo return false; beginDraw
// returns null when the memory cannot be had for this frame (the frame is then skipped,
// and endDraw is not called).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/screen/drawing_context.h"

namespace veldra {

class Window;

inline constexpr int32_t screenWidth = 240;
inline constexpr int32_t screenHeight = 320;

// The handheld's screen layout: the navigation bar across the top rows, the menu bar
// across the bottom rows, the program's windows between and under them.
inline constexpr int32_t navigationBarHeight = 26;
inline constexpr int32_t menuBarHeight = 26;
// Where a top-level window goes unless told otherwise: the screen below the navigation bar.
inline constexpr Rect defaultWindowRect{0, navigationBarHeight, screenWidth, screenHeight};

// What the game display reports about its memory.
struct DisplayProperties {
    int32_t width;         // pixels across: 240
    int32_t height;        // pixels down: 320
    int32_t xPitchBytes;   // bytes from a pixel to its right neighbour (may be negative)
    int32_t yPitchBytes;   // bytes from a pixel to the one below (may be negative)
    int32_t bitsPerPixel;  // 16 for RGB565; the engine refuses anything else
};

// Flag of openDisplay: take the whole screen.
inline constexpr uint32_t fullScreenDisplay = 1;

// Message box style: OK button with the exclamation icon; the answer of an OK button.
inline constexpr uint32_t messageBoxExclamation = 48;
inline constexpr int32_t messageBoxOk = 1;

// The capacity, in 16-bit characters, of the buffer the OEM text is read into.
inline constexpr size_t oemInfoCapacity = 200;

class Screen {
  public:
    virtual ~Screen() = default;

    // Takes the display for the window; false when the display cannot be had.
    virtual bool openDisplay(Window& window, uint32_t flags) = 0;
    virtual void closeDisplay() = 0;
    // The rows the program will draw: from top, height rows.
    virtual void setViewport(int32_t top, int32_t height) = 0;
    virtual DisplayProperties displayProperties() const = 0;

    // Base address of display memory for one access, or null; every non-null beginDraw is
    // followed by one endDraw, which is where a real back end presents the picture.
    virtual uint16_t* beginDraw() = 0;
    virtual void endDraw() = 0;

    // The memory of the fixed-frame-buffer device model: written directly, without
    // beginDraw or endDraw, with x pitch -320 and y pitch 1 pixels. Null on other screens.
    virtual uint16_t* fixedFrameBuffer() = 0;

    // Copies the device's OEM information text, zero-terminated, into buffer (capacity
    // characters, at least 1); false when the text cannot be had.
    virtual bool oemInfo(char16_t* buffer, size_t capacity) const = 0;

    // Shows text with caption until the user answers; returns the button chosen.
    virtual int32_t messageBox(Window* owner, std::string_view text, std::string_view caption,
                               uint32_t style) = 0;
};

// A colour reference (0x00BBGGRR) as an RGB565 pixel, by dropping the low bits.
inline constexpr uint16_t rgb565FromColourRef(ColourRef colour) {
    return rgb565(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// An RGB565 pixel as a colour reference, each channel's bits at the top of its byte.
inline constexpr ColourRef colourRefFromRgb565(uint16_t pixel) {
    return static_cast<ColourRef>((pixel >> 11) << 3 | ((pixel >> 5) & 0x3F) << 10 |
                                  (pixel & 0x1F) << 19);
}

}  // namespace veldra

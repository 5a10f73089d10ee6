// Drawing context: what the tuner draws through on a window's client area, outside the
// layers: the background picture's copy at the first paint and the information text.
//
// A context belongs to one window and draws in that window's client coordinates
// ((0, 0) is the client area's top-left pixel). Implementations: the headless screen
// (pixels into display memory) and the SDL window system. Colours are 0x00BBGGRR values,
// as the platform's colour references. Main thread only.
#pragma once

#include <cstdint>
#include <string_view>

namespace veldra {

// A rectangle in pixels; right and bottom are exclusive.
struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// A picture in RGB565 pixels, row-major, row 0 at the top. Not owned.
struct Bitmap {
    int32_t width;
    int32_t height;
    const uint16_t* pixels;
};

using ColourRef = uint32_t;  // 0x00BBGGRR

// 8-bit channels to an RGB565 pixel, dropping the low bits.
constexpr uint16_t rgb565(uint32_t red, uint32_t green, uint32_t blue) {
    return static_cast<uint16_t>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
}

inline constexpr ColourRef colourBlack = 0x000000;
inline constexpr ColourRef colourWhite = 0xFFFFFF;

// Text drawing flags, as the platform numbers them.
inline constexpr uint32_t textCentre = 1;      // centred horizontally in the rectangle
inline constexpr uint32_t textWordBreak = 16;  // broken into lines at word boundaries
inline constexpr uint32_t textNoClip = 256;    // not clipped to the rectangle
// With textWordBreak, a word wider than the rectangle is broken where it stops fitting
// rather than cut off at the edge (a file's path in a message).
inline constexpr uint32_t textBreakLongWords = 0x10000;

class DrawingContext {
  public:
    virtual ~DrawingContext() = default;

    // Each returns the colour that was set before.
    virtual ColourRef setBackgroundColour(ColourRef colour) = 0;
    virtual ColourRef setTextColour(ColourRef colour) = 0;

    // Fills the rectangle with one colour.
    virtual void fillRect(const Rect& rect, ColourRef colour) = 0;

    // Copies the whole bitmap with its top-left corner at (x, y); parts off the client
    // area are dropped.
    virtual void copyBitmap(const Bitmap& bitmap, int32_t x, int32_t y) = 0;

    // Draws UTF-8 text into rect with the given flags, glyphs on the background colour.
    virtual void drawText(std::string_view text, const Rect& rect, uint32_t flags) = 0;
};

}  // namespace veldra

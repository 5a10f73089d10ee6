// The system fonts, rendered once from DejaVu Sans (Debian's fonts-dejavu-core) through
// SDL2_ttf into glyph fonts (glyph_font.h). Part of the SDL library (font_loader_sdl.cpp);
// SDL_ttf needs no display, so headless tools can use it too.
//
// Sizes in pixels at the handheld's 96 dots per inch: 9 points (the system font) is
// 12 pixels, 8 points 11, 10 points 13; the title is the bold face at 12.
//
// Failure: false with error naming the font file and what went wrong. Main thread.
#pragma once

#include <string>

#include "platform/canvas/canvas.h"

namespace veldra {

struct LoadedFonts {
    GlyphFont text;   // DejaVu Sans, 12 pixels
    GlyphFont title;  // DejaVu Sans Bold, 12 pixels
    GlyphFont small;  // 11 pixels
    GlyphFont large;  // 13 pixels
    SystemFonts view() const { return {&text, &title, &small, &large}; }
};

inline constexpr int32_t systemFontPixels = 12;

bool loadSystemFonts(LoadedFonts& fonts, std::string& error);

// One face at a size: every Latin-1 character.
bool loadGlyphFont(const std::string& path, int32_t pixels, GlyphFont& font, std::string& error);

// The path of a DejaVu file (e.g. "DejaVuSans.ttf") in the places distributions put it,
// or empty when it is in none.
std::string findDejaVuFile(const std::string& fileName);

}  // namespace veldra

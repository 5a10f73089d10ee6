// platform/fonts/: the program's fonts, rendered from DejaVu Sans when the program is built
// (tools/glyph-tables, through SDL2_ttf) and compiled in as constant glyph tables, so that
// the desktop program, veldra-file's pictures and the browser draw the same pixels without
// a font file or a font renderer at run time.
//
// Thread: any; the tables are constant.
#pragma once

#include "platform/canvas/canvas.h"

namespace veldra {

struct BuiltInFonts {
    GlyphFont text;         // DejaVu Sans, 12 pixels: the handheld's 9-point system font
    GlyphFont title;        // its bold face at 12: the navigation bar's title
    GlyphFont small;        // 11 pixels (8 points)
    GlyphFont large;        // 13 pixels (10 points)
    GlyphFont readoutNote;  // DejaVu Sans Bold, 30 pixels, ASCII: the readout's note
    GlyphFont readoutText;  // the same at 13: the readout's cents, frequency and words

    // The window system's four.
    SystemFonts system() const { return {&text, &title, &small, &large}; }
};

const BuiltInFonts& builtInFonts();

}  // namespace veldra

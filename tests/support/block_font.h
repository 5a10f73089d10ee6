// A synthetic font for window-system tests: every character from ' ' to 0xFF is a 4 x 6
// block of full coverage in a cell 6 pixels wide and 10 rows tall (rows 2..7), except the
// space, which has no ink. Text laid out in it is easy to find in a picture: one block
// per character, in known places.
#pragma once

#include "platform/canvas/glyph_font.h"

namespace veldra {

inline constexpr int32_t blockAdvance = 6;
inline constexpr int32_t blockLineHeight = 10;
inline constexpr int32_t blockInkTop = 2;  // first inked row of a glyph
inline constexpr int32_t blockInkRows = 6;
inline constexpr int32_t blockInkColumns = 4;

GlyphFont makeBlockFont();

// All four system fonts are the block font (kept for the whole test program).
SystemFonts blockSystemFonts();

}  // namespace veldra

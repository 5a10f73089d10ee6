// Bitmap font: 57 glyphs of 7 x 7 cells on an 8-pixel advance, for the dial's labels.
//
// Each glyph is seven row texts in which 'o' marks an ink cell and anything else is blank.
// The character map takes an unsigned byte to a glyph; every byte without a glyph of its
// own maps to glyph 44, the blank. Letters have capital shapes and are mapped from the
// lower-case bytes; rasterText folds 'A'-'Z' onto them. Bytes 228, 252, 246 are the
// Latin-1 a, u, o with diaeresis.
//
// rasterText draws a zero-terminated 8-bit string with its first cell's top-left pixel at
// (x, y), ink cells only (the background shows through), then for each character:
//   10 or 13   x = 400, so that the wrap below starts a new line
//   8          x = x - 8 when x > 2 (nothing is erased)
//   other      the glyph at x, then x = x + 8
//   and after each of them: if x > 230, x = 2 and, while y < 300, y = y + 9.
// There is no bounds test: the caller keeps the first cell on the surface and x at 2 plus
// a multiple of 8 when the text holds backspaces. (A cell written outside the pixel buffer
// is dropped, and a cell off the surface counted, as by plotPixel.)
//
// Lifecycle: empty (every byte draws nothing) until buildFont runs during display setup;
// unchanged after. The glyph rows live in static storage, so building cannot fail and
// nothing is left to free.
// Thread: main thread only.
#pragma once

#include <cstdint>

#include "display/surface.h"

namespace veldra {

inline constexpr int32_t glyphCount = 57;
inline constexpr int32_t glyphRows = 7;    // also cells per row
inline constexpr int32_t blankGlyph = 44;  // the space, and every byte without a glyph
inline constexpr int32_t glyphAdvance = 8;

// Copies the 57 glyphs' rows and builds the character map.
void buildFont();

// Copies seven row texts into glyph 0..56 (another number is ignored). Each row keeps at
// most 9 characters and its terminator; a null row is blank.
void setGlyph(int32_t glyph, const char* row0, const char* row1, const char* row2, const char* row3,
              const char* row4, const char* row5, const char* row6);

// A null text draws nothing.
void rasterText(Surface& surface, const char* text, int32_t x, int32_t y, uint16_t colour);

// Empties the glyph rows and the character map (their state before buildFont), for tests.
void resetFont();

}  // namespace veldra

// Glyph fonts and text drawing: the window system's text, in fonts rendered ahead of time
// (the built-in ones of platform/fonts, made when the program is built) and drawn from
// constant tables, so that drawing text allocates nothing.
//
// Glyphs follow each other by their advances, without kerning (as SDL_ttf lays a line
// out with kerning off, which glyph-by-glyph drawing can match to the pixel).
//
// A GlyphFont covers the codes firstCode .. firstCode + glyph count - 1 (Latin-1: 32..255);
// other characters draw as '?'. Each glyph is a coverage map (0 none .. 255 full) that is
// lineHeight rows tall, its row 0 on the line's top, placed at the pen position + left.
// Text is UTF-8.
//
// drawText lays text out the way the handheld's window text drawing does:
//   - lines end at '\n'; with textWordBreak a line that is wider than the rectangle
//     breaks before the word that does not fit (the spaces at the break are dropped; a
//     word wider than the rectangle keeps a line of its own and overflows it, unless
//     textBreakLongWords breaks it after its last character that fits, or after its last
//     '/' that fits, so that a path breaks between its folders);
//   - textCentre centres each line in the rectangle, otherwise lines start at its left;
//   - lines run down from the rectangle's top, lineHeight rows apart;
//   - without textNoClip nothing is drawn outside the rectangle;
//   - each line's box (its width x lineHeight) is filled with the background colour
//     (opaque), and the glyphs are blended from the background to the text colour by
//     their coverage.
//
// Thread: any; a font is read-only once loaded.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/canvas/pixel_canvas.h"
#include "platform/screen/screen.h"

namespace veldra {

struct Glyph {
    int16_t advance;  // pixels the pen moves on
    int16_t left;     // the coverage map's first column, relative to the pen
    int16_t width;    // columns of the coverage map (may be 0: a space)
    uint32_t offset;  // the map's first byte in GlyphFont::coverage (rows of width bytes)
};

struct GlyphFont {
    int32_t lineHeight = 0;             // rows of a line and of every coverage map
    int32_t ascent = 0;                 // rows from the line's top to the baseline
    char32_t firstCode = 32;            // code of glyphs[0]
    std::span<const Glyph> glyphs;      // one per code from firstCode on (not owned)
    std::span<const uint8_t> coverage;  // all the maps, 0..255 (not owned)
};

// The fonts the window system draws with.
struct SystemFonts {
    const GlyphFont* text;   // the system font, 9 point: window text, menus, message boxes
    const GlyphFont* title;  // its bold face: the navigation bar's title
    const GlyphFont* small;  // 8 point, for dialogs that ask for it
    const GlyphFont* large;  // 10 point
};

// The system font nearest to a size in points.
const GlyphFont& fontForPoints(const SystemFonts& fonts, int32_t points);

// The font for a code, '?' standing in for codes the font lacks (null if it lacks both).
const Glyph* glyphFor(const GlyphFont& font, char32_t code);

// The next code point of UTF-8 text at position (advanced); malformed bytes read as '?'.
char32_t nextCodePoint(std::string_view text, size_t& position);

// Width in pixels of text laid on one line (a '\n' counts as nothing).
int32_t textWidth(const GlyphFont& font, std::string_view text);

// Draws one line with its pen starting at (x, top).
void drawTextLine(const PixelCanvas& canvas, const GlyphFont& font, std::string_view line,
                  int32_t x, int32_t top, ColourRef textColour, ColourRef backgroundColour);

// The same, without a background: the glyphs are blended over what the canvas shows.
void drawTextLineOver(const PixelCanvas& canvas, const GlyphFont& font, std::string_view line,
                      int32_t x, int32_t top, ColourRef textColour);

// One laid-out line: text[begin, end) and its width.
struct TextLine {
    size_t begin;
    size_t end;
    int32_t width;
};

// Calls visit(line) for each line of text laid into width pixels (see above); returns the
// number of lines. visit may be empty. No allocation.
template <typename Visit>
int32_t layOutText(const GlyphFont& font, std::string_view text, int32_t width, bool wordBreak,
                   Visit&& visit, bool breakLongWords = false);

// Draws text into rect with the flags textCentre, textWordBreak, textBreakLongWords and
// textNoClip.
void drawText(const PixelCanvas& canvas, const GlyphFont& font, std::string_view text,
              const Rect& rect, uint32_t flags, ColourRef textColour, ColourRef backgroundColour);

// Rows the text takes in a rectangle width pixels wide.
int32_t textHeight(const GlyphFont& font, std::string_view text, int32_t width, bool wordBreak,
                   bool breakLongWords = false);

// ---- implementation of the template ----

namespace text_detail {
// The end of the word that starts at position (before the next space or '\n').
size_t wordEnd(std::string_view text, size_t position);
// Where a line that starts at begin and is too wide to hold [begin, stop) ends: after the
// last character that fits (at least one), or after the last '/' before it.
size_t fittingEnd(const GlyphFont& font, std::string_view text, size_t begin, size_t stop,
                  int32_t width);
}  // namespace text_detail

template <typename Visit>
int32_t layOutText(const GlyphFont& font, std::string_view text, int32_t width, bool wordBreak,
                   Visit&& visit, bool breakLongWords) {
    int32_t lines = 0;
    size_t paragraph = 0;
    for (;;) {
        size_t paragraphEnd = text.find('\n', paragraph);
        if (paragraphEnd == std::string_view::npos) paragraphEnd = text.size();
        size_t lineBegin = paragraph;
        size_t position = paragraph;
        // The line so far is [lineBegin, lineEnd); position runs ahead over spaces.
        size_t lineEnd = paragraph;
        while (wordBreak && position < paragraphEnd) {
            size_t wordStart = position;
            while (wordStart < paragraphEnd && text[wordStart] == ' ')
                ++wordStart;
            if (wordStart == paragraphEnd) break;
            const size_t wordStop = text_detail::wordEnd(text, wordStart);
            const int32_t widthWithWord =
                textWidth(font, text.substr(lineBegin, wordStop - lineBegin));
            if (widthWithWord > width && lineEnd > lineBegin) {
                // Break before this word; the spaces in between belong to no line.
                const std::string_view line = text.substr(lineBegin, lineEnd - lineBegin);
                visit(TextLine{lineBegin, lineEnd, textWidth(font, line)});
                ++lines;
                lineBegin = wordStart;
            }
            while (breakLongWords &&
                   textWidth(font, text.substr(lineBegin, wordStop - lineBegin)) > width) {
                const size_t end = text_detail::fittingEnd(font, text, lineBegin, wordStop, width);
                visit(TextLine{lineBegin, end,
                               textWidth(font, text.substr(lineBegin, end - lineBegin))});
                ++lines;
                lineBegin = end;
            }
            lineEnd = wordStop;
            position = wordStop;
        }
        // The rest of the paragraph, spaces included, is the last line.
        const std::string_view rest = text.substr(lineBegin, paragraphEnd - lineBegin);
        visit(TextLine{lineBegin, paragraphEnd, textWidth(font, rest)});
        ++lines;
        if (paragraphEnd == text.size()) break;
        paragraph = paragraphEnd + 1;
        if (paragraph == text.size()) break;  // a final '\n' opens no new line
    }
    return lines;
}

}  // namespace veldra

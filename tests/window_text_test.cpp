// Text layout and drawing in glyph fonts: word breaks, centring, clipping, the opaque
// line box, UTF-8 and blending. Uses the block font (support/block_font.h), whose glyphs
// are 4 x 6 blocks in 6-pixel cells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/glyph_font.h"
#include "support/block_font.h"

namespace veldra {
namespace {

std::vector<std::string> lines(std::string_view text, int32_t width, bool wordBreak = true) {
    const GlyphFont font = makeBlockFont();
    std::vector<std::string> out;
    layOutText(font, text, width, wordBreak, [&](const TextLine& l) {
        out.emplace_back(text.substr(l.begin, l.end - l.begin));
        EXPECT_EQ(l.width, textWidth(font, out.back()));
    });
    return out;
}

using Lines = std::vector<std::string>;

TEST(TextLayoutTest, BreaksBeforeTheWordThatDoesNotFit) {
    // 7 cells fit in 42 pixels: "aaa bbb" does, "aaa bbb ccc" does not.
    EXPECT_EQ(lines("aaa bbb ccc", 42), (Lines{"aaa bbb", "ccc"}));
    EXPECT_EQ(lines("aaa bbb ccc", 41), (Lines{"aaa", "bbb", "ccc"}));
    // The spaces at a break belong to no line; spaces inside a line stay.
    EXPECT_EQ(lines("aa   bb    cccccc", 42), (Lines{"aa   bb", "cccccc"}));
    EXPECT_EQ(lines("aaa bbb ccc", 42, false), (Lines{"aaa bbb ccc"}));
}

TEST(TextLayoutTest, AWordWiderThanTheRectangleKeepsALineOfItsOwn) {
    EXPECT_EQ(lines("a verylongword b", 30), (Lines{"a", "verylongword", "b"}));
    EXPECT_EQ(lines("verylongword", 6), (Lines{"verylongword"}));
}

TEST(TextLayoutTest, NewlinesEndLinesAndEmptyLinesCount) {
    EXPECT_EQ(lines("one\n\ntwo\n", 200), (Lines{"one", "", "two"}));
    EXPECT_EQ(lines(" O.K. ", 200), (Lines{" O.K. "}));  // edge spaces of a whole line stay
    const GlyphFont font = makeBlockFont();
    EXPECT_EQ(textHeight(font, "one\n\ntwo\n", 200, true), 3 * blockLineHeight);
}

// A 60 x 40 canvas of its own, filled with a marker colour.
struct Canvas {
    std::vector<uint16_t> memory = std::vector<uint16_t>(60 * 40, 0x1234);
    PixelCanvas canvas{memory.data(), 1, 60, {0, 0, 60, 40}};
    uint16_t at(int32_t x, int32_t y) const { return memory[static_cast<size_t>(y * 60 + x)]; }
};

constexpr uint16_t red = rgb565(255, 0, 0);
constexpr uint16_t blue = rgb565(0, 0, 255);

TEST(TextDrawingTest, CentresEachLineAndFillsItsBoxWithTheBackground) {
    Canvas c;
    const GlyphFont font = makeBlockFont();
    drawText(c.canvas, font, "a b\nccc", {0, 5, 60, 40}, textCentre, 0x0000FF, 0xFF0000);
    // Line 1, 18 pixels wide, starts at (60 - 18) / 2 = 21; line 2 too.
    EXPECT_EQ(c.at(20, 5 + blockInkTop), 0x1234);               // left of the box
    EXPECT_EQ(c.at(21, 5), blue);                               // box, above the ink
    EXPECT_EQ(c.at(22, 5 + blockInkTop), red);                  // the 'a' block
    EXPECT_EQ(c.at(28 + 1, 5 + blockInkTop), blue);             // the space: background
    EXPECT_EQ(c.at(34 + 1, 5 + blockInkTop), red);              // the 'b'
    EXPECT_EQ(c.at(39, 5 + blockInkTop), 0x1234);               // right of the box
    EXPECT_EQ(c.at(22, 15 + blockInkTop), red);                 // line 2 under line 1
    EXPECT_EQ(c.at(22, 25), 0x1234);                            // nothing below
}

TEST(TextDrawingTest, ClipsToTheRectangleUnlessToldNotTo) {
    const GlyphFont font = makeBlockFont();
    Canvas clipped;
    drawText(clipped.canvas, font, "abcdef", {0, 0, 12, 10}, 0, 0xFFFFFF, 0);
    EXPECT_EQ(clipped.at(8, blockInkTop), rgb565(255, 255, 255));  // second glyph, inside
    EXPECT_EQ(clipped.at(14, blockInkTop), 0x1234);                // third, outside: not drawn
    Canvas loose;
    drawText(loose.canvas, font, "abcdef", {0, 0, 12, 10}, textNoClip, 0xFFFFFF, 0);
    EXPECT_EQ(loose.at(14, blockInkTop), rgb565(255, 255, 255));
    // A centred line wider than its rectangle spills out on both sides.
    Canvas centred;
    drawText(centred.canvas, font, "abcdef", {24, 0, 36, 10}, textCentre | textNoClip, 0xFFFFFF, 0);
    EXPECT_EQ(centred.at(13, blockInkTop), rgb565(255, 255, 255));  // starts at 24 - 12
}

TEST(TextDrawingTest, ReadsUtf8AndStandsInForMissingCharacters) {
    const GlyphFont font = makeBlockFont();
    size_t at = 0;
    EXPECT_EQ(nextCodePoint("\xC3\xA9", at), U'\u00E9');
    EXPECT_EQ(at, 2u);
    at = 0;
    EXPECT_EQ(nextCodePoint("\xE4\xB8\xAD", at), U'\u4E2D');
    at = 0;
    EXPECT_EQ(nextCodePoint("\xC3(", at), U'?');  // a broken sequence
    EXPECT_EQ(textWidth(font, "\xC3\xA9\xE4\xB8\xAD"), 2 * blockAdvance);
    EXPECT_EQ(glyphFor(font, U'\u4E2D'), glyphFor(font, U'?'));
    GlyphFont empty;
    EXPECT_EQ(glyphFor(empty, U'a'), nullptr);
    EXPECT_EQ(textWidth(empty, "abc"), 0);
}

TEST(TextDrawingTest, BlendsPartialCoverageAndDrawsOverWhatIsThere) {
    GlyphFont font = makeBlockFont();
    const Glyph& x = font.glyphs[U'x' - 32];
    font.coverage[x.offset + blockInkTop * blockInkColumns] = 128;  // one half-covered pixel
    Canvas c;
    drawTextLine(c.canvas, font, "x", 0, 0, 0xFFFFFF, 0x000000);
    EXPECT_EQ(c.at(1, blockInkTop), rgb565(128, 128, 128));
    Canvas over;
    fillRect(over.canvas, {0, 0, 60, 40}, rgb565(0, 0, 255));
    drawTextLineOver(over.canvas, font, "x", 0, 0, 0x0000FF);
    EXPECT_EQ(over.at(1, blockInkTop), rgb565(128, 0, 127));  // half way from blue to red
    EXPECT_EQ(over.at(0, 0), rgb565(0, 0, 255));              // no box behind
}

}  // namespace
}  // namespace veldra

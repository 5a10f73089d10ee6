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

const GlyphFont font = makeBlockFont();

// 7 cells fit in 42 pixels. The spaces at a break belong to no line; spaces inside a
// line, and at the edges of a whole line, stay. A word wider than the rectangle keeps a
// line of its own; newlines end lines and empty lines count.
TEST(TextLayoutTest, BreaksBeforeTheWordThatDoesNotFit) {
    using Lines = std::vector<std::string>;
    const struct {
        const char* text;
        int32_t width;
        bool wordBreak;
        Lines expected;
    } cases[] = {
        {"aaa bbb ccc", 42, true, {"aaa bbb", "ccc"}},
        {"aaa bbb ccc", 41, true, {"aaa", "bbb", "ccc"}},
        {"aa   bb    cccccc", 42, true, {"aa   bb", "cccccc"}},
        {"aaa bbb ccc", 42, false, {"aaa bbb ccc"}},
        {" O.K. ", 200, true, {" O.K. "}},
        {"a verylongword b", 30, true, {"a", "verylongword", "b"}},
        {"verylongword", 6, true, {"verylongword"}},
        {"one\n\ntwo\n", 200, true, {"one", "", "two"}},
    };
    for (const auto& c : cases) {
        const std::string_view text = c.text;
        Lines lines;
        layOutText(font, text, c.width, c.wordBreak, [&](const TextLine& l) {
            lines.emplace_back(text.substr(l.begin, l.end - l.begin));
            EXPECT_EQ(l.width, textWidth(font, lines.back()));
        });
        EXPECT_EQ(lines, c.expected) << text << " in " << c.width;
    }
    EXPECT_EQ(textHeight(font, "one\n\ntwo\n", 200, true), 3 * blockLineHeight);
}

// A 60 x 40 canvas of its own, filled with a marker colour.
struct Canvas {
    std::vector<uint16_t> memory = std::vector<uint16_t>(60 * 40, 0x1234);
    PixelCanvas canvas{memory.data(), 1, 60, {0, 0, 60, 40}};
    uint16_t at(int32_t x, int32_t y) const { return memory[static_cast<size_t>(y * 60 + x)]; }
};

constexpr uint16_t red = rgb565(255, 0, 0), blue = rgb565(0, 0, 255), white = rgb565(255, 255, 255);
constexpr int32_t ink = blockInkTop;  // the first row of a glyph's block

// Line 1, 18 pixels wide, starts at (60 - 18) / 2 = 21; line 2 too; each line's box is
// filled with the background.
TEST(TextDrawingTest, CentresEachLineAndFillsItsBoxWithTheBackground) {
    Canvas c;
    drawText(c.canvas, font, "a b\nccc", {0, 5, 60, 40}, textCentre, 0x0000FF, 0xFF0000);
    EXPECT_EQ(std::tuple(c.at(20, 5 + ink), c.at(21, 5), c.at(22, 5 + ink), c.at(29, 5 + ink), c.at(35, 5 + ink)),
              std::tuple(0x1234, blue, red, blue, red));  // left of the box, above the ink, a, space, b
    EXPECT_EQ(c.at(39, 5 + ink), 0x1234);                // right of the box
    EXPECT_EQ(c.at(22, 15 + ink), red);                  // line 2 under line 1
    EXPECT_EQ(c.at(22, 25), 0x1234);                     // nothing below
}

TEST(TextDrawingTest, ClipsToTheRectangleUnlessToldNotTo) {
    Canvas clipped, loose, centred;
    drawText(clipped.canvas, font, "abcdef", {0, 0, 12, 10}, 0, 0xFFFFFF, 0);
    EXPECT_EQ(clipped.at(8, ink), white);    // second glyph, inside
    EXPECT_EQ(clipped.at(14, ink), 0x1234);  // third, outside: not drawn
    drawText(loose.canvas, font, "abcdef", {0, 0, 12, 10}, textNoClip, 0xFFFFFF, 0);
    EXPECT_EQ(loose.at(14, ink), white);
    // A centred line wider than its rectangle spills out on both sides: it starts at 24 - 12.
    drawText(centred.canvas, font, "abcdef", {24, 0, 36, 10}, textCentre | textNoClip, 0xFFFFFF, 0);
    EXPECT_EQ(centred.at(13, ink), white);
}

TEST(TextDrawingTest, ReadsUtf8AndStandsInForMissingCharacters) {
    size_t at = 0;
    EXPECT_EQ(nextCodePoint("\xC3\xA9", at), U'\u00E9');
    EXPECT_EQ(at, 2u);
    at = 0;
    EXPECT_EQ(nextCodePoint("\xE4\xB8\xAD", at), U'\u4E2D');
    at = 0;
    EXPECT_EQ(nextCodePoint("\xC3(", at), U'?');  // a broken sequence
    EXPECT_EQ(textWidth(font, "\xC3\xA9\xE4\xB8\xAD"), 2 * blockAdvance);
    EXPECT_EQ(glyphFor(font, U'\u4E2D'), glyphFor(font, U'?'));
    const GlyphFont empty;
    EXPECT_EQ(glyphFor(empty, U'a'), nullptr);
    EXPECT_EQ(textWidth(empty, "abc"), 0);
}

TEST(TextDrawingTest, BlendsPartialCoverageAndDrawsOverWhatIsThere) {
    GlyphFont half = makeBlockFont();
    half.coverage[half.glyphs[U'x' - 32].offset + ink * blockInkColumns] = 128;  // one half-covered pixel
    Canvas c, over;
    drawTextLine(c.canvas, half, "x", 0, 0, 0xFFFFFF, 0x000000);
    EXPECT_EQ(c.at(1, ink), rgb565(128, 128, 128));
    fillRect(over.canvas, {0, 0, 60, 40}, blue);
    drawTextLineOver(over.canvas, half, "x", 0, 0, 0x0000FF);
    EXPECT_EQ(over.at(1, ink), rgb565(128, 0, 127));  // half way from blue to red
    EXPECT_EQ(over.at(0, 0), blue);                   // no box behind
}

}  // namespace
}  // namespace veldra

// The bitmap font: glyph shapes, the character map, case folding and the cursor rules
// (line feed, backspace, wrap).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "display/font.h"
#include "display/surface.h"

namespace veldra {
namespace {

using Pixels = std::set<std::pair<int32_t, int32_t>>;

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildFont();
        initSurface(s, 240, 320);
        clear();
    }
    void TearDown() override { releaseSurface(s); }
    void clear() {
        for (int32_t p = 0; p < 240 * 320; ++p) s.pixels[p] = 0;
    }
    Pixels draw(const std::string& text, int32_t x, int32_t y) {
        clear();
        rasterText(s, text.c_str(), x, y, 0xFFFF);
        Pixels out;
        for (int32_t p = 0; p < 240 * 320; ++p) {
            if (s.pixels[p] != 0) out.insert({p % 240, p / 240});
        }
        return out;
    }
    // Pixels of several single-character drawings, each at its own place.
    Pixels drawEach(const std::initializer_list<std::tuple<std::string, int32_t, int32_t>> parts) {
        Pixels all;
        for (const auto& [text, x, y] : parts) all.merge(draw(text, x, y));
        return all;
    }
    Surface s{};
};

TEST_F(FontTest, GlyphShapesAreDrawnCellForCell) {
    Pixels one;
    for (int32_t k = 0; k < 7; ++k) {
        one.insert({25, 30 + k});
        one.insert({26, 30 + k});
    }
    EXPECT_EQ(draw("1", 20, 30), one);
    Pixels minus;
    for (int32_t j = 1; j < 7; ++j) minus.insert({20 + j, 33});
    EXPECT_EQ(draw("-", 20, 30), minus);
    // z is two rows short: nothing in its rows 0 and 1.
    for (auto [x, y] : draw("z", 20, 30)) EXPECT_GE(y, 32);
    EXPECT_EQ(draw("z", 20, 30).size(), 16u);
    EXPECT_EQ(draw("8", 20, 30).size(), 31u);
}

TEST_F(FontTest, CapitalsFoldOntoTheLetterGlyphs) {
    const Pixels lower = draw("hello", 10, 40);
    EXPECT_EQ(draw("HELLO", 10, 40), lower);
    EXPECT_EQ(draw("HeLlO", 10, 40), lower);
    EXPECT_EQ(lower, drawEach({{"h", 10, 40}, {"e", 18, 40}, {"l", 26, 40}, {"l", 34, 40},
                               {"o", 42, 40}}));
}

TEST_F(FontTest, OnlyMappedBytesDrawAndEveryByteAdvances) {
    std::string visible = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    visible += ":!?-=+[].,><#'@/\\";
    visible += static_cast<char>(228);
    visible += static_cast<char>(252);
    visible += static_cast<char>(246);
    const Pixels marker = draw("1", 58, 50);
    for (int32_t c = 1; c < 256; ++c) {
        if (c == 8 || c == 10 || c == 13) continue;
        const std::string one(1, static_cast<char>(c));
        const bool drawsSomething = !draw(one, 50, 50).empty();
        EXPECT_EQ(drawsSomething, visible.find(static_cast<char>(c)) != std::string::npos) << c;
        if (!drawsSomething) {
            EXPECT_EQ(draw(one + "1", 50, 50), marker) << c;
        }
    }
}

TEST_F(FontTest, EmptyTextAndEmptyFontDrawNothing) {
    EXPECT_TRUE(draw("", 10, 10).empty());
    clear();
    rasterText(s, nullptr, 10, 10, 1);
    EXPECT_TRUE(draw("", 10, 10).empty());
    resetFont();
    EXPECT_TRUE(draw("Hello 123", 10, 10).empty());
}

TEST_F(FontTest, LineFeedAndReturnStartANewLineAtTheLeftMargin) {
    EXPECT_EQ(draw("1\n1", 50, 20), drawEach({{"1", 50, 20}, {"1", 2, 29}}));
    EXPECT_EQ(draw("1\r1", 50, 20), drawEach({{"1", 50, 20}, {"1", 2, 29}}));
    EXPECT_EQ(draw("\n\n1", 50, 20), draw("1", 2, 38));
    // From row 300 on, lines no longer move down.
    EXPECT_EQ(draw("\n1", 50, 299), draw("1", 2, 308));
    EXPECT_EQ(draw("\n1", 50, 300), draw("1", 2, 300));
    EXPECT_EQ(draw("\n\n\n1", 50, 295), draw("1", 2, 304));
}

TEST_F(FontTest, BackspaceStepsBackWithoutErasing) {
    EXPECT_EQ(draw("\b1", 2, 20), draw("1", 2, 20));
    EXPECT_EQ(draw("\b1", 1, 20), draw("1", 1, 20));
    EXPECT_EQ(draw("\b1", 10, 20), draw("1", 2, 20));
    EXPECT_EQ(draw("1\b-", 10, 20), drawEach({{"1", 10, 20}, {"-", 10, 20}}));
}

TEST_F(FontTest, TextWrapsOncePastColumn230) {
    EXPECT_EQ(draw("11", 226, 20), drawEach({{"1", 226, 20}, {"1", 2, 29}}));
    EXPECT_EQ(draw("11", 222, 20), drawEach({{"1", 222, 20}, {"1", 230, 20}}));
    // A long line: 29 cells from x = 2 fit (the last at 226), the 30th starts a new line.
    const std::string line(30, '1');
    const Pixels wrapped = draw(line, 2, 20);
    EXPECT_TRUE(wrapped.count({226 + 5, 20}));
    EXPECT_TRUE(wrapped.count({2 + 5, 29}));
    EXPECT_FALSE(wrapped.count({234 + 5, 20}));
}

TEST_F(FontTest, SetGlyphReplacesOneGlyphAndBoundsItsRows) {
    setGlyph(27, "o", "", nullptr, "", "", "", "ooooooooooooooooooooo");
    Pixels custom{{20, 30}};
    for (int32_t j = 0; j < 7; ++j) custom.insert({20 + j, 36});
    EXPECT_EQ(draw("1", 20, 30), custom);
    setGlyph(57, "o", "o", "o", "o", "o", "o", "o");  // no such glyph: ignored
    setGlyph(-1, "o", "o", "o", "o", "o", "o", "o");
    EXPECT_EQ(draw("1", 20, 30), custom);
}

}  // namespace
}  // namespace veldra

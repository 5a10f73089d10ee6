// The bitmap font: glyph shapes, the character map, case folding and the cursor rules
// (line feed, backspace, wrap).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "display/font.h"
#include "display/surface.h"
#include "tests/support/surface_pixels.h"

namespace veldra {
namespace {

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildFont();
        initSurface(s, 240, 320);
    }
    void TearDown() override { releaseSurface(s); }
    // The pixels that drawing text at (x, y) lights, from a clear surface.
    Pixels draw(const std::string& text, int32_t x, int32_t y) {
        std::fill(s.pixels, s.pixels + 240 * 320, 0);
        rasterText(s, text.c_str(), x, y, 0xFFFF);
        return litPixels(s);
    }
    static Pixels both(Pixels a, const Pixels& b) {
        a.insert(b.begin(), b.end());
        return a;
    }
    Surface s{};
};

TEST_F(FontTest, GlyphsAreDrawnCellForCell) {
    Pixels one;  // a 2-pixel bar in columns 5 and 6 of its cell
    for (int32_t k = 0; k < 7; ++k) one.insert({{25, 30 + k}, {26, 30 + k}});
    EXPECT_EQ(draw("1", 20, 30), one);
    const Pixels z = draw("z", 20, 30);  // two rows short at the top
    EXPECT_EQ(z.size(), 16u);
    EXPECT_EQ(z.begin()->first, 22);
    EXPECT_EQ(std::min_element(z.begin(), z.end(), [](auto a, auto b) { return a.second < b.second; })->second, 32);
    EXPECT_EQ(draw("8", 20, 30).size(), 31u);
}

TEST_F(FontTest, CapitalsFoldOntoLettersAndCellsAdvanceByEight) {
    const Pixels hello = draw("hello", 10, 40);
    EXPECT_EQ(draw("HeLLO", 10, 40), hello);
    EXPECT_EQ(hello, both(both(draw("he", 10, 40), draw("l", 26, 40)), draw("lo", 34, 40)));
}

TEST_F(FontTest, OnlyMappedBytesDrawAndEveryByteAdvances) {
    const std::string visible = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                "0123456789:!?-=+[].,><#'@/\\\xE4\xFC\xF6";
    const Pixels marker = draw("1", 58, 50);
    for (int32_t c = 1; c < 256; ++c) {
        if (c == 8 || c == 10 || c == 13) continue;
        const std::string one(1, static_cast<char>(c));
        const bool drawn = !draw(one, 50, 50).empty();
        EXPECT_EQ(drawn, visible.find(static_cast<char>(c)) != std::string::npos) << c;
        if (!drawn) { EXPECT_EQ(draw(one + "1", 50, 50), marker) << c; }
    }
    EXPECT_TRUE(draw("", 10, 10).empty());
    resetFont();
    EXPECT_TRUE(draw("Hello 123", 10, 10).empty());
}

TEST_F(FontTest, LineFeedBackspaceAndWrapMoveTheCursor) {
    EXPECT_EQ(draw("1\n1", 50, 20), both(draw("1", 50, 20), draw("1", 2, 29)));
    EXPECT_EQ(draw("1\r1", 50, 20), both(draw("1", 50, 20), draw("1", 2, 29)));
    EXPECT_EQ(draw("\n\n1", 50, 20), draw("1", 2, 38));
    EXPECT_EQ(draw("\n1", 50, 299), draw("1", 2, 308));  // from row 300 on, no move down
    EXPECT_EQ(draw("\n\n\n1", 50, 295), draw("1", 2, 304));
    EXPECT_EQ(draw("\b1", 2, 20), draw("1", 2, 20));
    EXPECT_EQ(draw("\b1", 10, 20), draw("1", 2, 20));
    EXPECT_EQ(draw("1\b-", 10, 20), both(draw("1", 10, 20), draw("-", 10, 20)));
    EXPECT_EQ(draw("11", 226, 20), both(draw("1", 226, 20), draw("1", 2, 29)));
    EXPECT_EQ(draw("11", 222, 20), both(draw("1", 222, 20), draw("1", 230, 20)));
}

}  // namespace
}  // namespace veldra

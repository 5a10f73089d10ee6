// The built-in pictures, the BMP decoder that reads them, and the printed dial against
// the dial's arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/bmp_decoder.h"
#include "app/resources.h"
#include "display/trig_tables.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

// ---- The built-in pictures and the BMP decoder that reads them. (Their 4-bit rows,
// bottom up, high nibble first, are checked through the printed dial, below.)

void put(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A BMP with the given header fields, palette (0xRRGGBB, stored as BGRX quads) and pixel
// rows as stored (padded to 4 bytes).
std::vector<uint8_t> makeBmp(int32_t width, int32_t height, uint16_t bits,
                             const std::vector<uint32_t>& palette,
                             const std::vector<std::vector<uint8_t>>& storedRows) {
    std::vector<uint8_t> b(54, 0);
    b[0] = 'B', b[1] = 'M';
    put(b, 14, 40), put(b, 18, width), put(b, 22, height), put(b, 26, 1, 2), put(b, 28, bits, 2);
    put(b, 46, static_cast<uint32_t>(palette.size()));
    for (uint32_t rgb : palette)
        b.insert(b.end(), {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0});
    put(b, 10, static_cast<uint32_t>(b.size()));
    for (auto row : storedRows) {
        row.resize((row.size() + 3) / 4 * 4, 0);
        b.insert(b.end(), row.begin(), row.end());
    }
    put(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

// A 1-bit palette picture 9 pixels wide, and a 24-bit one stored top row first
// (negative height), its pixels as B, G, R bytes.
TEST(BmpDecoderTest, OneBitPalettesAndTopDownTrueColour) {
    DecodedBitmap bitmap;
    std::string error;
    ASSERT_TRUE(decodeBmp(makeBmp(9, 1, 1, {0, 0xCE6300}, {{0xA0, 0x80}}), bitmap, error)) << error;
    EXPECT_EQ(bitmap.pixels, (std::vector<uint16_t>{0xCB00, 0, 0xCB00, 0, 0, 0, 0, 0, 0xCB00}));
    ASSERT_TRUE(decodeBmp(makeBmp(1, -2, 24, {}, {{0, 0, 255}, {255, 0, 0}}), bitmap, error))
        << error;
    EXPECT_EQ(bitmap.pixels, (std::vector<uint16_t>{0xF800, 0x001F}));
}

TEST(BmpDecoderTest, RefusesWhatItCannotReadAndLeavesNothingBehind) {
    auto cut = makeBmp(4, 4, 4, {0, 0xFF0000}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}});
    cut.pop_back();
    auto compressed = makeBmp(2, 1, 8, {0, 0xFF0000}, {{1, 1}});
    compressed[30] = 1;  // run-length encoded
    auto hugeWidth = makeBmp(1, 1, 24, {}, {{1, 2, 3}});
    hugeWidth[21] = 0x7F;
    auto minHeight = makeBmp(1, 1, 24, {}, {{1, 2, 3}});
    put(minHeight, 22, 0x80000000u);
    auto badOffset = makeBmp(1, 1, 24, {}, {{1, 2, 3}});
    put(badOffset, 10, 0xFFFFFFF0u);
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"not BMP", std::vector<uint8_t>(80, 'x')},
        {"pixels cut short", cut},
        {"compressed", compressed},
        {"index beyond the palette", makeBmp(2, 1, 4, {0, 0xFF0000}, {{0x12}})},
        {"16 bits", makeBmp(1, 1, 16, {}, {{0, 0}})},
        {"huge width", hugeWidth},
        {"most negative height", minHeight},
        {"offset past the end", badOffset},
    };
    for (const auto& [why, file] : cases) {
        DecodedBitmap bitmap;
        bitmap.width = 99;
        std::string error;
        EXPECT_FALSE(decodeBmp(file, bitmap, error)) << why;
        EXPECT_FALSE(error.empty()) << why;
        EXPECT_EQ(bitmap.width, 0) << why;
        EXPECT_TRUE(bitmap.pixels.empty()) << why;
    }
}

// Each picture is decoded once and kept; an unknown id gives none.
TEST(ResourcesTest, PicturesHaveTheirSizes) {
    for (const auto& [id, width, height] :
         {std::tuple{iconResource, 32, 32}, std::tuple{menuBarImageResource, 16, 16},
          std::tuple{backgroundResource, 240, 268}}) {
        const Bitmap bitmap = loadBitmapResource(id);
        EXPECT_EQ(std::tuple(bitmap.width, bitmap.height), std::tuple(width, height)) << id;
        ASSERT_NE(bitmap.pixels, nullptr);
        EXPECT_EQ(loadBitmapResource(id).pixels, bitmap.pixels);
    }
    EXPECT_EQ(loadBitmapResource(999).pixels, nullptr);
}

// Black with the spiral in shades of one orange: at most 16 colours, all of them the hue
// of red 206, green 99, blue 0 (no blue, green never above red's share), mostly black.
TEST(ResourcesTest, BackgroundIsBlackAndShadesOfTheDialOrange) {
    const Bitmap bitmap = loadBitmapResource(backgroundResource);
    const int32_t total = bitmap.width * bitmap.height;
    const std::set<uint16_t> colours(bitmap.pixels, bitmap.pixels + total);
    for (const uint16_t p : colours) {
        EXPECT_EQ(p & 31, 0) << p;
        EXPECT_LE((p >> 5) & 63, (p >> 11) * 2) << p;
    }
    EXPECT_LE(colours.size(), 16u);
    EXPECT_TRUE(colours.count(rgb565(206, 99, 0)));
    EXPECT_GT(std::count(bitmap.pixels, bitmap.pixels + total, 0), total * 8 / 10);
}

// ---- The printed dial against the dial's arithmetic: the spiral of the background
// picture must lie under every point the dial draws at, and the letters C must leave the
// places of the octave digits free, just to their left.

class ArtworkGeometryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        buildTrigTables();
        resetDial();
        setDialGeometry(120, 128, 40, 106);
        ASSERT_EQ(std::tuple(picture.width, picture.height), std::tuple(240, 268));
    }
    uint16_t at(int32_t x, int32_t y) const {
        return x < 0 || y < 0 || x >= 240 || y >= 268 ? 0 : picture.pixels[y * 240 + x];
    }
    // Lit pixels in the rectangle [x0, x1] x [y0, y1].
    int32_t litIn(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
        int32_t lit = 0;
        for (int32_t y = y0; y <= y1; ++y)
            for (int32_t x = x0; x <= x1; ++x)
                lit += at(x, y) != 0;
        return lit;
    }
    const Bitmap picture = loadBitmapResource(backgroundResource);
};

// A full-brightness pixel at the point or one of its eight neighbours, for every a.
TEST_F(ArtworkGeometryTest, EveryDialPointLiesOnThePrintedLine) {
    for (int32_t a = 0; a <= 3 * 1024; ++a) {
        int32_t x, y;
        dialPoint(a, 0, x, y);
        bool near = false;
        for (int32_t d = 0; d < 9; ++d)
            near |= at(x + d % 3 - 1, y + d / 3 - 1) == rgb565(206, 99, 0);
        ASSERT_TRUE(near) << "a = " << a << " at (" << x << ", " << y << ")";
    }
}

// From (120, 88) to (120, 22); dark inside the start, between the turns above it, and
// beyond the end.
TEST_F(ArtworkGeometryTest, SpiralRunsFromTheTopOfTheInnerTurnToTheTopOfTheOuter) {
    EXPECT_EQ(litIn(110, 93, 112, 94) + litIn(116, 72, 124, 82) + litIn(116, 16, 124, 16), 0);
    EXPECT_GT(litIn(119, 87, 121, 89), 0);
    EXPECT_GT(litIn(119, 21, 121, 23), 0);
}

// The dial writes its digits (7 x 7 glyphs) at (120, 95) and (126, 8): their cells must
// be dark, and a letter C, open on the right, must stand in the columns just left of each.
TEST_F(ArtworkGeometryTest, LettersCStandLeftOfTheOctaveDigits) {
    EXPECT_EQ(litIn(120, 95, 126, 101) + litIn(126, 8, 132, 14), 0);
    EXPECT_GT(litIn(111, 95, 119, 101), 12);
    EXPECT_GT(litIn(117, 8, 125, 14), 12);
    EXPECT_EQ(litIn(116, 97, 119, 99) + litIn(122, 10, 125, 12), 0);
}

}  // namespace
}  // namespace veldra

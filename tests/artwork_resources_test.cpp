// The built-in pictures and the BMP decoder that reads them.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/bmp_decoder.h"
#include "app/resources.h"

namespace veldra {
namespace {

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A BMP with the given header fields, palette (BGRX quads) and pixel rows as stored.
std::vector<uint8_t> makeBmp(int32_t width, int32_t height, uint16_t bits,
                             const std::vector<uint32_t>& paletteRgb,
                             const std::vector<std::vector<uint8_t>>& storedRows) {
    std::vector<uint8_t> b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(width));
    put32(b, 22, static_cast<uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, bits);
    put32(b, 46, static_cast<uint32_t>(paletteRgb.size()));
    for (uint32_t rgb : paletteRgb) {
        b.push_back(rgb & 0xFF);
        b.push_back((rgb >> 8) & 0xFF);
        b.push_back((rgb >> 16) & 0xFF);
        b.push_back(0);
    }
    put32(b, 10, static_cast<uint32_t>(b.size()));
    for (const auto& row : storedRows) {
        std::vector<uint8_t> padded = row;
        padded.resize((row.size() + 3) / 4 * 4, 0);
        b.insert(b.end(), padded.begin(), padded.end());
    }
    put32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

constexpr uint32_t red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF, orange = 0xCE6300;

TEST(BmpDecoderTest, FourBitRowsAreStoredBottomUpHighNibbleFirst) {
    // 3 x 2: the stored first row is the picture's bottom row.
    const auto file = makeBmp(3, 2, 4, {0, red, green, blue}, {{0x30, 0x10}, {0x12, 0x30}});
    DecodedBitmap bitmap;
    std::string error;
    ASSERT_TRUE(decodeBmp(file, bitmap, error)) << error;
    ASSERT_EQ(bitmap.width, 3);
    ASSERT_EQ(bitmap.height, 2);
    const std::vector<uint16_t> expected = {0xF800, 0x07E0, 0x001F,   // top: 1 2 3
                                            0x001F, 0x0000, 0xF800};  // bottom: 3 0 1
    EXPECT_EQ(bitmap.pixels, expected);
}

TEST(BmpDecoderTest, OneBitPalettesAndTopDownTrueColour) {
    DecodedBitmap bitmap;
    std::string error;
    ASSERT_TRUE(decodeBmp(makeBmp(9, 1, 1, {0, orange}, {{0xA0, 0x80}}), bitmap, error)) << error;
    EXPECT_EQ(bitmap.pixels, (std::vector<uint16_t>{0xCB00, 0, 0xCB00, 0, 0, 0, 0, 0, 0xCB00}));

    // Negative height: rows stored top first. Pixels are B, G, R bytes.
    const auto file = makeBmp(1, -2, 24, {}, {{0, 0, 255}, {255, 0, 0}});
    ASSERT_TRUE(decodeBmp(file, bitmap, error)) << error;
    EXPECT_EQ(bitmap.pixels, (std::vector<uint16_t>{0xF800, 0x001F}));
}

TEST(BmpDecoderTest, RefusesWhatItCannotReadAndLeavesNothingBehind) {
    struct Case {
        const char* why;
        std::vector<uint8_t> file;
    };
    auto cut = makeBmp(4, 4, 4, {0, red}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}});
    cut.pop_back();
    auto compressed = makeBmp(2, 1, 8, {0, red}, {{1, 1}});
    compressed[30] = 1;  // run-length encoded
    auto hugeWidth = makeBmp(1, 1, 24, {}, {{1, 2, 3}});
    hugeWidth[21] = 0x7F;
    auto minHeight = makeBmp(1, 1, 24, {}, {{1, 2, 3}});
    put32(minHeight, 22, 0x80000000u);
    auto badOffset = makeBmp(1, 1, 24, {}, {{1, 2, 3}});
    put32(badOffset, 10, 0xFFFFFFF0u);
    const Case cases[] = {
        {"not BMP", std::vector<uint8_t>(80, 'x')},
        {"pixels cut short", cut},
        {"compressed", compressed},
        {"index beyond the palette", makeBmp(2, 1, 4, {0, red}, {{0x12}})},
        {"16 bits", makeBmp(1, 1, 16, {}, {{0, 0}})},
        {"huge width", hugeWidth},
        {"most negative height", minHeight},
        {"offset past the end", badOffset},
    };
    for (const Case& c : cases) {
        DecodedBitmap bitmap;
        bitmap.width = 99;
        std::string error;
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(decodeBmp(c.file, bitmap, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(bitmap.width, 0);
        EXPECT_TRUE(bitmap.pixels.empty());
    }
}

TEST(ResourcesTest, PicturesHaveTheirSizes) {
    struct Expect {
        int32_t id, width, height;
    };
    for (const Expect e : {Expect{iconResource, 32, 32}, Expect{menuBarImageResource, 16, 16},
                           Expect{backgroundResource, 240, 268}}) {
        const Bitmap bitmap = loadBitmapResource(e.id);
        SCOPED_TRACE(e.id);
        EXPECT_EQ(bitmap.width, e.width);
        EXPECT_EQ(bitmap.height, e.height);
        ASSERT_NE(bitmap.pixels, nullptr);
        EXPECT_EQ(loadBitmapResource(e.id).pixels, bitmap.pixels);  // decoded once, kept
    }
    EXPECT_EQ(loadBitmapResource(999).pixels, nullptr);
}


// Black with the spiral in shades of one orange: at most 16 colours, all of them the
// hue of red 206, green 99, blue 0, and mostly black.
TEST(ResourcesTest, BackgroundIsBlackAndShadesOfTheDialOrange) {
    const Bitmap bitmap = loadBitmapResource(backgroundResource);
    ASSERT_NE(bitmap.pixels, nullptr);
    std::set<uint16_t> colours;
    int32_t black = 0;
    const int32_t total = bitmap.width * bitmap.height;
    for (int32_t i = 0; i < total; ++i) {
        const uint16_t p = bitmap.pixels[i];
        colours.insert(p);
        if (p == 0) ++black;
        const int32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        ASSERT_EQ(b, 0) << i;
        ASSERT_LE(g, r * 2) << i;  // green never outweighs red's share (99 / 206 in 8 bits)
    }
    EXPECT_LE(colours.size(), 16u);
    EXPECT_TRUE(colours.count(rgb565(206, 99, 0)));
    EXPECT_GT(black, total * 8 / 10);
}

}  // namespace
}  // namespace veldra

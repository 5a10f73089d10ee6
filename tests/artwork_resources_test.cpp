// The built-in pictures and the BMP decoder that reads them. (Their 4-bit rows, bottom
// up, high nibble first, are checked through the printed dial in artwork_geometry_test.)
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/bmp_decoder.h"
#include "app/resources.h"

namespace veldra {
namespace {

void put(std::vector<uint8_t>& b, size_t at, uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A BMP with the given header fields, palette (0xRRGGBB, stored as BGRX quads) and pixel
// rows as stored (padded to 4 bytes).
std::vector<uint8_t> makeBmp(int32_t width, int32_t height, uint16_t bits, const std::vector<uint32_t>& palette,
                             const std::vector<std::vector<uint8_t>>& storedRows) {
    std::vector<uint8_t> b(54, 0);
    b[0] = 'B', b[1] = 'M';
    put(b, 14, 40), put(b, 18, width), put(b, 22, height), put(b, 26, 1, 2), put(b, 28, bits, 2);
    put(b, 46, static_cast<uint32_t>(palette.size()));
    for (uint32_t rgb : palette) b.insert(b.end(), {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0});
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
    ASSERT_TRUE(decodeBmp(makeBmp(1, -2, 24, {}, {{0, 0, 255}, {255, 0, 0}}), bitmap, error)) << error;
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
        {"not BMP", std::vector<uint8_t>(80, 'x')},  {"pixels cut short", cut},
        {"compressed", compressed},                  {"index beyond the palette", makeBmp(2, 1, 4, {0, 0xFF0000}, {{0x12}})},
        {"16 bits", makeBmp(1, 1, 16, {}, {{0, 0}})}, {"huge width", hugeWidth},
        {"most negative height", minHeight},         {"offset past the end", badOffset},
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
    for (const auto& [id, width, height] : {std::tuple{iconResource, 32, 32}, std::tuple{menuBarImageResource, 16, 16},
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

}  // namespace
}  // namespace veldra

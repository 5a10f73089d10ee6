// The printed dial against the dial's arithmetic: the spiral of the background picture
// must lie under every point the dial draws at, and the letters C must leave the places
// of the octave digits free, just to their left.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/bmp_decoder.h"
#include "app/resources.h"
#include "display/trig_tables.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

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
            for (int32_t x = x0; x <= x1; ++x) lit += at(x, y) != 0;
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
        for (int32_t d = 0; d < 9; ++d) near |= at(x + d % 3 - 1, y + d / 3 - 1) == rgb565(206, 99, 0);
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

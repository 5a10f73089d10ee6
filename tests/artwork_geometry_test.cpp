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

constexpr uint16_t printedOrange = rgb565(206, 99, 0);

class ArtworkGeometryTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildTrigTables();
        resetDial();
        setDialGeometry(120, 128, 40, 106);
        picture = loadBitmapResource(backgroundResource);
        ASSERT_EQ(picture.width, 240);
        ASSERT_EQ(picture.height, 268);
    }
    void TearDown() override { resetTrigTables(); }

    uint16_t at(int32_t x, int32_t y) const {
        if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return 0;
        return picture.pixels[y * picture.width + x];
    }
    // Lit pixels in the rectangle [x0, x1] x [y0, y1].
    int32_t litIn(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
        int32_t lit = 0;
        for (int32_t y = y0; y <= y1; ++y)
            for (int32_t x = x0; x <= x1; ++x) lit += at(x, y) != 0;
        return lit;
    }

    Bitmap picture{};
};

TEST_F(ArtworkGeometryTest, EveryDialPointLiesOnThePrintedLine) {
    int32_t worst = 0;
    for (int32_t a = 0; a <= 3 * 1024; ++a) {
        int32_t x, y;
        dialPoint(a, 0, x, y);
        // The nearest full-brightness pixel, in rings of growing distance.
        int32_t found = 99;
        for (int32_t r = 0; r <= 3 && found == 99; ++r)
            for (int32_t dy = -r; dy <= r; ++dy)
                for (int32_t dx = -r; dx <= r; ++dx)
                    if (std::max(std::abs(dx), std::abs(dy)) == r && at(x + dx, y + dy) == printedOrange)
                        found = r;
        ASSERT_LE(found, 1) << "a = " << a << " at (" << x << ", " << y << ")";
        worst = std::max(worst, found);
    }
    RecordProperty("worstDistance", worst);
}

TEST_F(ArtworkGeometryTest, SpiralRunsFromTheTopOfTheInnerTurnToTheTopOfTheOuter) {
    int32_t x, y;
    dialPoint(0, 0, x, y);
    EXPECT_EQ(x, 120);
    EXPECT_EQ(y, 88);
    dialPoint(3 * 1024, 0, x, y);
    EXPECT_EQ(x, 120);
    EXPECT_EQ(y, 22);
    // The line starts and ends there: dark inside the start, between the turns above
    // it, and beyond the end.
    EXPECT_EQ(litIn(110, 93, 112, 94), 0);
    EXPECT_EQ(litIn(116, 72, 124, 82), 0);
    EXPECT_EQ(litIn(116, 16, 124, 16), 0);
    EXPECT_GT(litIn(119, 87, 121, 89), 0);
    EXPECT_GT(litIn(119, 21, 121, 23), 0);
}

// The dial writes its digits (7 x 7 glyphs) at (120, 95) and (126, 8): their cells must
// be dark, and a letter C must stand in the columns just left of each.
TEST_F(ArtworkGeometryTest, LettersCStandLeftOfTheOctaveDigits) {
    EXPECT_EQ(litIn(120, 95, 126, 101), 0);
    EXPECT_EQ(litIn(126, 8, 132, 14), 0);
    EXPECT_GT(litIn(111, 95, 119, 101), 12);
    EXPECT_GT(litIn(117, 8, 125, 14), 12);
    // A C is open on the right: its middle rows are dark next to the digit.
    EXPECT_EQ(litIn(116, 97, 119, 99), 0);
    EXPECT_EQ(litIn(122, 10, 125, 12), 0);
}

}  // namespace
}  // namespace veldra

// The built-in background picture against the dial's arithmetic: the printed spiral must
// lie under every point the dial draws at. (Through it, the BMP decoder's 4-bit rows,
// bottom up, high nibble first, and the trig tables.)
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "display/trig_tables.h"
#include "views/pictures.h"
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
            for (int32_t x = x0; x <= x1; ++x)
                lit += at(x, y) != 0;
        return lit;
    }
    const Bitmap picture = loadBitmapResource(backgroundResource);
};

// A full-brightness pixel at the point or one of its eight neighbours, for every a; dark
// inside the start, between the turns above it, and beyond the end.
TEST_F(ArtworkGeometryTest, EveryDialPointLiesOnThePrintedLine) {
    for (int32_t a = 0; a <= 3 * 1024; ++a) {
        int32_t x, y;
        dialPoint(a, 0, x, y);
        bool near = false;
        for (int32_t d = 0; d < 9; ++d)
            near |= at(x + d % 3 - 1, y + d / 3 - 1) == rgb565(206, 99, 0);
        ASSERT_TRUE(near) << "a = " << a << " at (" << x << ", " << y << ")";
    }
    EXPECT_EQ(litIn(110, 93, 112, 94) + litIn(116, 72, 124, 82) + litIn(116, 16, 124, 16), 0);
}

}  // namespace
}  // namespace veldra

// Surfaces, the raster primitives and the trig tables: exact pixel sets and bounds.
#include <gtest/gtest.h>

#include <vector>

#include "display/surface.h"
#include "display/trig_tables.h"
#include "tests/support/surface_pixels.h"

namespace veldra {
namespace {

class RasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildTrigTables();
        initSurface(s, 40, 30);
        std::fill(s.pixels, s.pixels + 40 * 30, 0);
    }
    void TearDown() override { releaseSurface(s); }
    // The lit pixels relative to (cx, cy); cleared afterwards for the next shape.
    Pixels take(int32_t cx = 0, int32_t cy = 0) {
        const Pixels lit = litPixels(s, cx, cy);
        std::fill(s.pixels, s.pixels + 40 * 30, 0);
        return lit;
    }
    Surface s{};
};

TEST_F(RasterTest, SurfacesAreOwnedOrEmptyAndNeverWrittenOutside) {
    EXPECT_EQ(s.flags, 5u);
    plotPixel(s, 42, 0, 7);  // element addressing: element 42 is (2, 1)
    plotPixel(s, 0, 30, 7);  // past the buffer: dropped
    plotPixel(s, -1, 0, 7);
    EXPECT_EQ(take(), (Pixels{{2, 1}}));
    for (auto [w, h] : {std::pair{-1, 10}, std::pair{70000, 70000}}) {
        Surface bad{};
        initSurface(bad, w, h);
        EXPECT_EQ(bad.pixels, nullptr);
        EXPECT_EQ(bad.flags, 0u);
        plotPixel(bad, 0, 0, 1);
        rasterRing(bad, 0, 0, 0, 0, 1);
    }
    releaseSurface(s);
    EXPECT_EQ(s.pixels, nullptr);
}

TEST_F(RasterTest, LinePixelsDependOnDirectionAndMajorAxis) {
    const struct {
        int32_t x0, y0, x1, y1;
        Pixels expected;
    } lines[] = {
        {0, 0, 4, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}},
        {4, 1, 0, 0, {{4, 1}, {3, 1}, {2, 0}, {1, 0}, {0, 0}}},
        {0, 0, 5, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}},  // err starts at 0
        {0, 0, 1, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}},
        {3, 3, 0, 0, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {7, 7, 7, 7, {{7, 7}}},
        // Any end off the surface drops the whole line.
        {0, 0, 40, 5, {}}, {5, 30, 0, 0, {}}, {-1, 0, 5, 5, {}}, {5, 5, 5, -1, {}},
    };
    for (const auto& l : lines) {
        rasterLine(s, l.x0, l.y0, l.x1, l.y1, 1);
        EXPECT_EQ(take(), l.expected) << l.x0 << "," << l.y0 << " to " << l.x1 << "," << l.y1;
    }
    rasterLine(s, 0, 0, 39, 29, 1);
    EXPECT_EQ(take().size(), 40u);
}

TEST_F(RasterTest, CirclePointsRoundTowardMinusInfinity) {
    rasterCircle(s, 10, 10, 1, 1);  // step 113: every product under 1024 floors to 0 or -1
    EXPECT_EQ(take(10, 10), (Pixels{{-1, -1}, {-1, 0}, {0, -1}, {0, 0}, {1, 0}}));
    rasterCircle(s, 10, 10, 2, 1);
    EXPECT_EQ(take(10, 10), (Pixels{{-2, -2}, {-2, -1}, {-2, 0}, {-2, 1}, {-1, -2}, {-1, 1},
                                    {0, -2}, {0, 1}, {1, -2}, {1, -1}, {1, 0}, {1, 1}, {2, 0}}));
}

TEST_F(RasterTest, CirclesAndRingsFitWhollyBelowRowZero) {
    for (auto draw : {+[](Surface& t, int32_t x, int32_t y, int32_t r) { rasterCircle(t, x, y, r, 1); },
                      +[](Surface& t, int32_t x, int32_t y, int32_t r) { rasterRing(t, x, y, 0, r, 1); }}) {
        draw(s, 5, 0, 0);    // in row 0
        draw(s, 10, 5, 5);   // would touch row 0
        draw(s, 35, 10, 5);  // rightmost column would be 40
        draw(s, 10, 25, 5);  // bottom row would be 30
        draw(s, 4, 10, 5);   // leftmost column would be -1
        draw(s, 10, 10, -3);
        EXPECT_TRUE(take().empty());
        draw(s, 5, 1, 0);
        EXPECT_EQ(take(), (Pixels{{5, 1}}));
        draw(s, 5, 6, 5);
        draw(s, 34, 24, 5);
        const Pixels edges = take();  // reaching column 0, row 1 and column 39
        EXPECT_TRUE(edges.count({0, 6}) && edges.count({5, 1}) && edges.count({39, 24}));
    }
}

TEST_F(RasterTest, RingCoversExactlyItsBand) {
    const struct {
        int32_t inner, outer, lo, hi;  // the band of squared distances
    } rings[] = {{5, 8, 20, 72}, {0, 4, 0, 20}, {1, 4, 0, 20}, {0, 0, 0, 0}};
    for (const auto& r : rings) {
        rasterRing(s, 20, 12, r.inner, r.outer, 1);
        Pixels band;
        for (int32_t y = -12; y < 18; ++y)
            for (int32_t x = -20; x < 20; ++x)
                if (r.lo <= x * x + y * y && x * x + y * y <= r.hi) band.insert({x, y});
        EXPECT_EQ(take(20, 12), band) << r.inner << " " << r.outer;
    }
}

// Entry i is the cosine and sine of i / 1024 turn, times 1024, truncated toward zero: the
// entries below tell rounding (1023 at 1) and flooring (-724 at 640, -6 at 1023) from it.
TEST(TrigTablesTest, TellingEntriesAndAnglesWrap) {
    resetTrigTables();
    EXPECT_EQ(cos1024(0), 0);  // empty until built
    buildTrigTables();
    const int32_t telling[][3] = {{1, 1023, 6},     {64, 946, 391},   {128, 724, 724},
                                  {384, -724, 724}, {640, -724, -724}, {1023, 1023, -6}};
    for (const auto& t : telling) EXPECT_EQ(std::pair(cos1024(t[0]), sin1024(t[0])), std::pair(t[1], t[2])) << t[0];
    EXPECT_EQ(cos1024(1024), 1024);
    EXPECT_EQ(sin1024(1280), 1024);
    EXPECT_EQ(sin1024(0xFFFFFFFFu), -6);
}

}  // namespace
}  // namespace veldra

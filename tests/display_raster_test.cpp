// Surfaces, the raster primitives and the trig tables: exact pixel sets and bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "display/surface.h"
#include "display/trig_tables.h"

namespace veldra {
namespace {

using Pixels = std::set<std::pair<int32_t, int32_t>>;

class RasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildTrigTables();
        make(40, 30);
    }
    void TearDown() override { releaseSurface(s); }
    void make(int32_t width, int32_t height) {
        releaseSurface(s);
        initSurface(s, width, height);
        for (int32_t p = 0; p < width * height; ++p) s.pixels[p] = 0;
    }
    Pixels lit() const {
        Pixels out;
        for (int32_t y = 0; y < s.height; ++y) {
            for (int32_t x = 0; x < s.width; ++x) {
                if (s.pixels[y * s.width + x] != 0) out.insert({x, y});
            }
        }
        return out;
    }
    // The lit pixels relative to (cx, cy).
    Pixels litAround(int32_t cx, int32_t cy) const {
        Pixels out;
        for (auto [x, y] : lit()) out.insert({x - cx, y - cy});
        return out;
    }
    Surface s{};
};

TEST_F(RasterTest, SurfaceIsCreatedOwnedAndReleased) {
    EXPECT_EQ(s.flags, 5u);
    EXPECT_EQ(s.width, 40);
    EXPECT_EQ(s.height, 30);
    ASSERT_NE(s.pixels, nullptr);
    plotPixel(s, 3, 2, 0x1234);
    EXPECT_EQ(s.pixels[2 * 40 + 3], 0x1234);
    releaseSurface(s);
    EXPECT_EQ(s.pixels, nullptr);
    releaseSurface(s);  // a second release finds nothing to free
}

TEST_F(RasterTest, SurfaceThatCannotBeAllocatedIsEmptyAndHarmless) {
    Surface bad{};
    for (auto [w, h] : {std::pair{-1, 10}, std::pair{10, -1}, std::pair{70000, 70000}}) {
        initSurface(bad, w, h);
        EXPECT_EQ(bad.flags, 0u);
        EXPECT_EQ(bad.pixels, nullptr);
        EXPECT_EQ(bad.width, 0);
        plotPixel(bad, 0, 0, 1);
        rasterLine(bad, 0, 0, 0, 0, 1);
        rasterRing(bad, 0, 0, 0, 0, 1);
        releaseSurface(bad);
    }
}

TEST_F(RasterTest, PlotPixelUsesElementAddressingButNeverLeavesTheBuffer) {
    plotPixel(s, 42, 0, 7);  // past the row's end: element 42 is (2, 1)
    EXPECT_EQ(lit(), (Pixels{{2, 1}}));
    plotPixel(s, 0, 30, 7);  // past the last row
    plotPixel(s, -1, 0, 7);  // before the first pixel
    plotPixel(s, 2147483647, 2147483647, 7);
    EXPECT_EQ(lit().size(), 1u);
}

TEST_F(RasterTest, ShallowLineDependsOnDrawingDirection) {
    rasterLine(s, 0, 0, 4, 1, 1);
    EXPECT_EQ(lit(), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}));
    make(40, 30);
    rasterLine(s, 4, 1, 0, 0, 1);
    EXPECT_EQ(lit(), (Pixels{{4, 1}, {3, 1}, {2, 0}, {1, 0}, {0, 0}}));
}

TEST_F(RasterTest, FirstStepMovesWhenTheErrorStartsAtZero) {
    rasterLine(s, 0, 0, 5, 2, 1);
    EXPECT_EQ(lit(), (Pixels{{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}));
}

TEST_F(RasterTest, SteepAndDiagonalLines) {
    rasterLine(s, 0, 0, 1, 4, 1);
    EXPECT_EQ(lit(), (Pixels{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}));
    make(40, 30);
    rasterLine(s, 3, 3, 0, 0, 1);
    EXPECT_EQ(lit(), (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    make(40, 30);
    rasterLine(s, 10, 20, 10, 5, 1);  // vertical, upward
    EXPECT_EQ(lit().size(), 16u);
}

TEST_F(RasterTest, LineWithAnEndOffTheSurfaceIsDroppedWhole) {
    rasterLine(s, 7, 7, 7, 7, 1);
    EXPECT_EQ(lit(), (Pixels{{7, 7}}));
    make(40, 30);
    rasterLine(s, 0, 0, 40, 5, 1);
    rasterLine(s, 40, 5, 0, 0, 1);
    rasterLine(s, 0, 0, 5, 30, 1);
    rasterLine(s, 5, 30, 0, 0, 1);
    rasterLine(s, -1, 0, 5, 5, 1);
    rasterLine(s, 5, 5, 5, -1, 1);
    EXPECT_TRUE(lit().empty());
    rasterLine(s, 0, 0, 39, 29, 1);  // corner to corner fits
    EXPECT_EQ(lit().size(), 40u);
}

TEST_F(RasterTest, CirclePointsRoundTowardMinusInfinity) {
    // Radius 1: step 113, ten points; every product below 1024 in size floors to 0 or -1.
    rasterCircle(s, 10, 10, 1, 1);
    EXPECT_EQ(litAround(10, 10), (Pixels{{-1, -1}, {-1, 0}, {0, -1}, {0, 0}, {1, 0}}));
    make(40, 30);
    rasterCircle(s, 10, 10, 2, 1);
    EXPECT_EQ(litAround(10, 10), (Pixels{{-2, -2}, {-2, -1}, {-2, 0}, {-2, 1}, {-1, -2},
                                         {-1, 1}, {0, -2}, {0, 1}, {1, -2}, {1, -1},
                                         {1, 0}, {1, 1}, {2, 0}}));
}

TEST_F(RasterTest, LargerCircleStaysWithinItsRadius) {
    rasterCircle(s, 15, 14, 12, 1);
    const Pixels points = litAround(15, 14);
    EXPECT_GT(points.size(), 60u);
    EXPECT_TRUE(points.count({12, 0}));
    EXPECT_TRUE(points.count({-12, 0}));
    EXPECT_TRUE(points.count({0, -12}));
    // Each point floors the exact one, so the circle passes through the point's unit
    // square [x, x + 1) x [y, y + 1).
    for (auto [x, y] : points) {
        const double nearX = std::clamp(0.0, double(x), x + 1.0);
        const double nearY = std::clamp(0.0, double(y), y + 1.0);
        const double farX = std::max(std::abs(x), std::abs(x + 1));
        const double farY = std::max(std::abs(y), std::abs(y + 1));
        EXPECT_LE(std::hypot(nearX, nearY), 12.05) << x << "," << y;
        EXPECT_GE(std::hypot(farX, farY), 11.95) << x << "," << y;
    }
}

TEST_F(RasterTest, CircleBoundsKeepItOffRowZeroAndOnTheSurface) {
    rasterCircle(s, 5, 0, 0, 1);  // radius 0 in row 0
    rasterCircle(s, 10, 5, 5, 1);  // would touch row 0
    rasterCircle(s, 35, 10, 5, 1);  // rightmost column would be 40
    rasterCircle(s, 10, 25, 5, 1);  // bottom row would be 30
    rasterCircle(s, 4, 10, 5, 1);   // leftmost column would be -1
    rasterCircle(s, 10, 10, -3, 1);
    EXPECT_TRUE(lit().empty());
    rasterCircle(s, 5, 1, 0, 1);
    EXPECT_EQ(lit(), (Pixels{{5, 1}}));
    rasterCircle(s, 5, 6, 5, 1);   // touches row 1 and column 0
    rasterCircle(s, 34, 24, 5, 1);  // touches column 39 and row 29
    EXPECT_TRUE(lit().count({0, 6}));
    EXPECT_TRUE(lit().count({39, 24}));
}

TEST_F(RasterTest, RingCoversExactlyItsBand) {
    const auto expectBand = [&](int32_t cx, int32_t cy, int32_t lo, int32_t hi) {
        for (int32_t y = 0; y < s.height; ++y) {
            for (int32_t x = 0; x < s.width; ++x) {
                const int32_t d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                EXPECT_EQ(s.pixels[y * s.width + x] != 0, lo <= d && d <= hi) << x << "," << y;
            }
        }
    };
    rasterRing(s, 20, 12, 5, 8, 1);
    expectBand(20, 12, 20, 72);
    make(40, 30);
    rasterRing(s, 20, 12, 0, 4, 1);
    expectBand(20, 12, 0, 20);
    make(40, 30);
    rasterRing(s, 20, 12, 1, 4, 1);
    expectBand(20, 12, 0, 20);
    make(40, 30);
    rasterRing(s, 20, 12, 0, 0, 1);
    expectBand(20, 12, 0, 0);
}

TEST_F(RasterTest, RingBoundsFollowTheOuterRadius) {
    rasterRing(s, 10, 4, 0, 4, 1);   // would touch row 0
    rasterRing(s, 36, 10, 0, 4, 1);  // rightmost column would be 40
    rasterRing(s, 10, 26, 0, 4, 1);  // bottom row would be 30
    rasterRing(s, 10, 10, 0, -1, 1);
    EXPECT_TRUE(lit().empty());
    rasterRing(s, 4, 5, 3, 4, 1);  // touches column 0 and row 1
    EXPECT_TRUE(lit().count({0, 5}));
    EXPECT_TRUE(lit().count({4, 1}));
}

TEST(TrigTablesTest, TellingEntries) {
    buildTrigTables();
    const struct {
        uint32_t i;
        int32_t cosine, sine;
    } rows[] = {{0, 1024, 0},      {1, 1023, 6},     {64, 946, 391},   {128, 724, 724},
                {256, 0, 1024},    {384, -724, 724}, {512, -1024, 0},  {640, -724, -724},
                {768, 0, -1024},   {1023, 1023, -6}};
    for (const auto& r : rows) {
        EXPECT_EQ(cos1024(r.i), r.cosine) << r.i;
        EXPECT_EQ(sin1024(r.i), r.sine) << r.i;
    }
}

TEST(TrigTablesTest, EveryEntryMatchesTheFormulaTruncatedTowardZero) {
    buildTrigTables();
    for (uint32_t i = 0; i < 1024; ++i) {
        const double angle = static_cast<double>(i) * 6.283185307179586 / 1024.0;
        EXPECT_EQ(cos1024(i), static_cast<int32_t>(std::trunc(std::cos(angle) * 1024.0))) << i;
        EXPECT_EQ(sin1024(i), static_cast<int32_t>(std::trunc(std::sin(angle) * 1024.0))) << i;
    }
}

TEST(TrigTablesTest, AnglesWrapAtOneTurnAndTablesStartEmpty) {
    resetTrigTables();
    EXPECT_EQ(cos1024(0), 0);
    buildTrigTables();
    EXPECT_EQ(cos1024(1024), 1024);
    EXPECT_EQ(sin1024(1280), 1024);
    EXPECT_EQ(sin1024(0xFFFFFFFFu), -6);  // low 10 bits: 1023
}

}  // namespace
}  // namespace veldra

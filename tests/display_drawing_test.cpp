// Drawing into surfaces and layers: the raster primitives (exact pixel sets and bounds),
// the pens and layers, the plot window and the fade schedule. (The trig tables are held
// to the printed dial in artwork_test.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "display/display.h"
#include "tests/support/surface_pixels.h"

namespace veldra {
namespace {

// ---- The raster primitives.

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

TEST_F(RasterTest, LinePixelsDependOnDirectionAndMajorAxis) {
    const struct {
        int32_t x0, y0, x1, y1;
        Pixels expected;
    } lines[] = {
        {0, 0, 4, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}},
        {4, 1, 0, 0, {{4, 1}, {3, 1}, {2, 0}, {1, 0}, {0, 0}}},
        {0, 0, 5, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}},  // err starts at 0
        {0, 0, 1, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}},
        // Any end off the surface drops the whole line.
        {0, 0, 40, 5, {}},
        {-1, 0, 5, 5, {}},
    };
    for (const auto& l : lines) {
        rasterLine(s, l.x0, l.y0, l.x1, l.y1, 1);
        EXPECT_EQ(take(), l.expected) << l.x0 << "," << l.y0 << " to " << l.x1 << "," << l.y1;
    }
}

// Circle points round toward minus infinity; a ring covers exactly its band of squared
// distances; either is drawn only when it fits wholly on the surface below row 0.
TEST_F(RasterTest, CirclesAndRingsCoverTheirPixelsOnlyWhenTheyFit) {
    rasterCircle(s, 10, 10, 1, 1);  // step 113: every product under 1024 floors to 0 or -1
    EXPECT_EQ(take(10, 10), (Pixels{{-1, -1}, {-1, 0}, {0, -1}, {0, 0}, {1, 0}}));
    for (const auto& [inner, outer, lo, hi] : {std::tuple{5, 8, 20, 72}, std::tuple{1, 4, 0, 20}}) {
        rasterRing(s, 20, 12, inner, outer, 1);
        Pixels band;
        for (int32_t y = -12; y < 18; ++y)
            for (int32_t x = -20; x < 20; ++x)
                if (lo <= x * x + y * y && x * x + y * y <= hi) band.insert({x, y});
        EXPECT_EQ(take(20, 12), band) << inner << " " << outer;
    }
    for (auto draw :
         {+[](Surface&t, int32_t x, int32_t y, int32_t r) { rasterCircle(t, x, y, r, 1); },
          +[](Surface&t, int32_t x, int32_t y, int32_t r) { rasterRing(t, x, y, 0, r, 1); }}) {
        draw(s, 5, 0, 0);    // in row 0
        draw(s, 10, 5, 5);   // would touch row 0
        draw(s, 35, 10, 5);  // rightmost column would be 40
        draw(s, 10, 25, 5);  // bottom row would be 30
        draw(s, 4, 10, 5);   // leftmost column would be -1
        EXPECT_TRUE(take().empty());
        draw(s, 5, 6, 5);
        draw(s, 34, 24, 5);
        const Pixels edges = take();  // reaching column 0, row 1 and column 39
        EXPECT_TRUE(edges.count({0, 6}) && edges.count({5, 1}) && edges.count({39, 24}));
    }
}

// ---- Layers and pens: points off the layer, the plot window, and the fade schedule.
// (Which pen draws where in which colour: the dial's tests in views_test.)

class LayersTest : public ::testing::Test {
  protected:
    void SetUp() override { openPlotWindow(0); }
    static void openPlotWindow(int32_t left) {
        resetDisplay();
        buildFont();
        buildTrigTables();
        ASSERT_TRUE(setPlotWindow(left, 26, 240 - left, 268));
    }
    static void fillLayers(uint16_t value) {
        std::fill(ScaleLayer.pixels, ScaleLayer.pixels + 240 * 320, value);
        std::fill(InkLayer.pixels, InkLayer.pixels + 240 * 320, value);
    }
};

// Points and text are not bounds-tested: points drawn together land, and are dropped,
// exactly where single points would be (shifted by the plot window, past the row's end
// into the next row, off the buffer not at all), and every pixel that strays off the
// layer is counted, nothing on it.
TEST_F(LayersTest, PointsOffTheLayerAreCountedAndDrawnTogetherAsOneByOne) {
    const int16_t xs[] = {5, 223, 224, 250, -16, -17, 0, 32767, -32768, 100};
    const int16_t ys[] = {7, 319, 319, 3, 0, 0, 320, 10, 5, -1};
    for (int32_t pen : {0, int32_t{PenScale}, int32_t{PenInkErase}}) {
        SCOPED_TRACE(pen);
        openPlotWindow(16);
        fillLayers(0x1111);
        for (int32_t k = 0; k < 10; ++k)
            drawPoint(pen, xs[k], ys[k]);
        const std::vector<uint16_t> scale(ScaleLayer.pixels, ScaleLayer.pixels + 240 * 320);
        const std::vector<uint16_t> ink(InkLayer.pixels, InkLayer.pixels + 240 * 320);
        EXPECT_EQ(displayState().offLayerWrites, 7);
        openPlotWindow(16);
        fillLayers(0x1111);
        drawPoints(pen, xs, ys, 10);
        EXPECT_TRUE(std::equal(scale.begin(), scale.end(), ScaleLayer.pixels));
        EXPECT_TRUE(std::equal(ink.begin(), ink.end(), InkLayer.pixels));
        EXPECT_EQ(displayState().offLayerWrites, 7);
    }
    openPlotWindow(16);
    drawText(0, "8", 216, 313);  // the glyph's cells end on column 238, row 319
    EXPECT_EQ(displayState().offLayerWrites, 0);
    drawText(0, "1", 100, 316);  // "1" has 14 cells, 6 of them in rows 320..322
    EXPECT_EQ(displayState().offLayerWrites, 6);
    resetDisplay();
    EXPECT_EQ(displayState().offLayerWrites, 0);
}

TEST_F(LayersTest, PlotWindowMustLieOnTheScreen) {
    EXPECT_TRUE(setPlotWindow(239, 319, 1, 1));
    EXPECT_FALSE(setPlotWindow(1, 26, 240, 268));
    EXPECT_FALSE(setPlotWindow(0, 53, 240, 268));
    EXPECT_FALSE(setPlotWindow(-1, 0, 10, 10));
    EXPECT_FALSE(setPlotWindow(0, 0, 10, 2147483647));
    EXPECT_EQ(std::pair(displayState().plot.left, displayState().plot.height), std::pair(239, 1));
}

// Fades on calls 3, 5, 8 and 10 of every ten, alternating the formulas: from white the
// quarter formula gives 0xC618 and the step formula 0x73CE. A reset goes back to the
// start of the schedule, with white ink.
TEST_F(LayersTest, FadesOnCallsThreeFiveEightAndTenAlternatingFormulas) {
    const auto calls = [](int32_t count) {
        std::string seen;
        for (int32_t call = 0; call < count; ++call) {
            InkLayer.pixels[100] = 0xFFFF;
            fadeInk();
            const uint16_t v = InkLayer.pixels[100];
            seen += v == 0xFFFF ? '-' : v == 0xC618 ? 'q' : v == 0x73CE ? 's' : '?';
        }
        return seen;
    };
    EXPECT_EQ(calls(15), "--q-s--q-s--q-s");
    calls(4);
    setInkColour(PenInk, 0, 0, 255);
    openPlotWindow(0);
    EXPECT_EQ(calls(5), "--q-s");
    drawPoint(PenInk, 1, 1);
    EXPECT_EQ(InkLayer.pixels[241], 0xFFFF);
}

}  // namespace
}  // namespace veldra

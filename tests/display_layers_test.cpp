// Layers and pens: which pen draws where in which colour, the plot window's shift, the
// ink colour, resetting the layers, and the fade sequence and schedule.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "display/display.h"
#include "tests/support/surface_pixels.h"

namespace veldra {
namespace {

class LayersTest : public ::testing::Test {
protected:
    void SetUp() override { openPlotWindow(0); }
    static void openPlotWindow(int32_t left) {
        resetDisplay();
        buildFont();
        buildTrigTables();
        ASSERT_TRUE(setPlotWindow(left, 26, 240 - left, 268));
    }
};

TEST_F(LayersTest, EachPenPicksItsLayerAndColour) {
    const struct {
        int32_t pen;
        const Surface* layer;
        uint16_t colour;
    } pens[] = {{PenInk, &InkLayer, 0xFFFF}, {PenScale, &ScaleLayer, 0xFBE0}, {0, &InkLayer, 0xF0FF},
                {4, &InkLayer, 0xF0FF},      {-1, &InkLayer, 0xF0FF},         {48, &InkLayer, 0xF0FF}};
    for (const auto& p : pens) {
        resetDisplay();
        drawPoint(p.pen, 5, 7);
        EXPECT_EQ(p.layer->pixels[7 * 240 + 5], p.colour) << p.pen;
        EXPECT_EQ(countPixels(InkLayer) + countPixels(ScaleLayer), 1) << p.pen;
    }
    // The erasing pens write 0 into their own layer only.
    std::fill(ScaleLayer.pixels, ScaleLayer.pixels + 240 * 320, 0x1111);
    std::fill(InkLayer.pixels, InkLayer.pixels + 240 * 320, 0x1111);
    drawPoint(PenScaleErase, 5, 7);
    drawPoint(PenInkErase, 6, 7);
    EXPECT_EQ(ScaleLayer.pixels[7 * 240 + 5], 0);
    EXPECT_EQ(InkLayer.pixels[7 * 240 + 6], 0);
    EXPECT_EQ(countPixels(ScaleLayer) + countPixels(InkLayer), 2 * 240 * 320 - 2);
}

TEST_F(LayersTest, InkColourFromEightBitChannelsForLaterDrawing) {
    const struct {
        int32_t r, g, b;
        uint16_t colour;
    } cases[] = {{255, 255, 255, 0xFFFF}, {71, 79, 255, 0x427F}, {95, 255, 95, 0x5FEB}, {255, 255, 15, 0xFFE1}};
    for (const auto& c : cases) {
        setInkColour(PenInk, c.r, c.g, c.b);
        drawPoint(PenInk, 1, 1);
        EXPECT_EQ(InkLayer.pixels[241], c.colour);
    }
    for (int32_t pen : {0, 2, 3, 49, 7}) setInkColour(pen, 0, 0, 0);  // other pens: ignored
    drawPoint(PenInk, 2, 2);
    EXPECT_EQ(InkLayer.pixels[2 * 240 + 2], 0xFFE1);
}

TEST_F(LayersTest, EveryPenOperationShiftsXByThePlotLeftEdge) {
    Surface expected{};
    initSurface(expected, 240, 320);
    const auto sameAsShifted = [&](auto penDraw, auto rawDraw) {
        openPlotWindow(16);
        std::fill(expected.pixels, expected.pixels + 240 * 320, 0);
        penDraw();
        rawDraw();
        EXPECT_GT(countPixels(InkLayer), 0);
        EXPECT_TRUE(std::equal(expected.pixels, expected.pixels + 240 * 320, InkLayer.pixels));
    };
    sameAsShifted([] { drawPoint(0, 5, 7); }, [&] { plotPixel(expected, 21, 7, 0xF0FF); });
    sameAsShifted([] { drawLine(0, 0, 10, 30, 40); }, [&] { rasterLine(expected, 16, 10, 46, 40, 0xF0FF); });
    sameAsShifted([] { drawCircle(0, 50, 60, 12); }, [&] { rasterCircle(expected, 66, 60, 12, 0xF0FF); });
    sameAsShifted([] { drawRing(0, 50, 60, 3, 9); }, [&] { rasterRing(expected, 66, 60, 3, 9, 0xF0FF); });
    sameAsShifted([] { drawText(0, "A1", 50, 60); }, [&] { rasterText(expected, "A1", 66, 60, 0xF0FF); });
    releaseSurface(expected);
    openPlotWindow(16);
    drawLine(0, 0, 10, 230, 10);  // fits unshifted, leaves the layer shifted
    EXPECT_EQ(countPixels(InkLayer), 0);
}

// Points drawn together land, and are dropped, exactly where single points would be:
// shifted by the plot window, past the row's end into the next row, off the buffer not at
// all, in each pen's layer and colour.
TEST_F(LayersTest, PointsDrawnTogetherMatchPointsDrawnOneByOne) {
    const int16_t xs[] = {5, 223, 224, 250, -16, -17, 0, 32767, -32768, 100};
    const int16_t ys[] = {7, 319, 319, 3, 0, 0, 320, 10, 5, -1};
    constexpr int32_t count = 10;
    const auto changed = [](const Surface& layer) {
        return static_cast<int32_t>(std::count_if(layer.pixels, layer.pixels + 240 * 320,
                                                  [](uint16_t v) { return v != 0x1111; }));
    };
    for (int32_t pen : {0, int32_t{PenInk}, int32_t{PenScale}, int32_t{PenInkErase}}) {
        SCOPED_TRACE(pen);
        const auto fresh = [] {
            openPlotWindow(16);
            std::fill(ScaleLayer.pixels, ScaleLayer.pixels + 240 * 320, 0x1111);
            std::fill(InkLayer.pixels, InkLayer.pixels + 240 * 320, 0x1111);
        };
        fresh();
        for (int32_t k = 0; k < count; ++k) drawPoint(pen, xs[k], ys[k]);
        const std::vector<uint16_t> scale(ScaleLayer.pixels, ScaleLayer.pixels + 240 * 320);
        const std::vector<uint16_t> ink(InkLayer.pixels, InkLayer.pixels + 240 * 320);
        EXPECT_EQ(changed(ScaleLayer) + changed(InkLayer), 5);
        fresh();
        drawPoints(pen, xs, ys, count);
        EXPECT_TRUE(std::equal(scale.begin(), scale.end(), ScaleLayer.pixels));
        EXPECT_TRUE(std::equal(ink.begin(), ink.end(), InkLayer.pixels));
    }
}

// Points and text are not bounds-tested, so a caller that strays off the layer must at
// least be seen: every such pixel is counted, whether it lands in a neighbouring row or
// outside the buffer, and nothing on the layer is.
TEST_F(LayersTest, PointsAndGlyphCellsOffTheLayerAreCounted) {
    openPlotWindow(16);
    drawPoint(0, -16, 0);    // layer column 0
    drawPoint(0, 223, 319);  // layer column 239, the last row
    drawText(0, "8", 216, 313);  // the glyph's cells end on column 238, row 319
    const int16_t onX[] = {-16, 223, 100}, onY[] = {0, 319, 100};
    drawPoints(0, onX, onY, 3);
    EXPECT_EQ(displayState().offLayerWrites, 0);

    drawPoint(0, 224, 5);   // column 240: wraps into row 6
    drawPoint(0, 0, 320);   // past the last row: dropped
    drawPoint(0, -17, -1);  // before the first pixel: dropped
    EXPECT_EQ(displayState().offLayerWrites, 3);
    const int16_t xs[] = {224, 100, -17, 100}, ys[] = {5, 100, 0, -1};
    drawPoints(0, xs, ys, 4);  // all but the second
    EXPECT_EQ(displayState().offLayerWrites, 3 + 3);
    drawText(0, "1", 100, 316);  // "1" has 14 cells, 6 of them in rows 320..322
    EXPECT_EQ(displayState().offLayerWrites, 3 + 3 + 6);
    resetDisplay();
    EXPECT_EQ(displayState().offLayerWrites, 0);
}

TEST_F(LayersTest, PlotWindowMustLieOnTheScreen) {
    EXPECT_TRUE(setPlotWindow(239, 319, 1, 1));
    EXPECT_FALSE(setPlotWindow(1, 26, 240, 268));
    EXPECT_FALSE(setPlotWindow(0, 53, 240, 268));
    EXPECT_FALSE(setPlotWindow(-1, 0, 10, 10));
    EXPECT_FALSE(setPlotWindow(0, 0, 10, 2147483647));
    EXPECT_EQ(displayState().plot.left, 239);
    EXPECT_EQ(displayState().plot.height, 1);
}

TEST_F(LayersTest, WhiteFadesThroughTheKnownSequence) {
    InkLayer.pixels[0] = 0xFFFF;
    for (uint16_t expected : {0xC618, 0x39E7, 0x3186, 0x2965, 0x2124, 0x1903, 0x18C3, 0x10A2}) {
        const uint16_t before = InkLayer.pixels[0];
        while (InkLayer.pixels[0] == before) fadeInk();
        EXPECT_EQ(InkLayer.pixels[0], expected);
    }
}

// From white the quarter formula gives 0xC618 and the step formula 0x73CE; a reset goes
// back to the start of the schedule, with white ink.
TEST_F(LayersTest, FadesOnCallsThreeFiveEightAndTenAlternatingFormulas) {
    const char* expected = "--q-s--q-s--q-s";
    for (int32_t call = 0; expected[call] != '\0'; ++call) {
        InkLayer.pixels[100] = 0xFFFF;
        fadeInk();
        const uint16_t v = InkLayer.pixels[100];
        const char seen = v == 0xFFFF ? '-' : v == 0xC618 ? 'q' : v == 0x73CE ? 's' : '?';
        EXPECT_EQ(seen, expected[call]) << "call " << call + 1;
    }
    resetDisplay();
    EXPECT_TRUE(displayState().fadeQuarterNext);
    EXPECT_EQ(displayState().fadeAccumulator, 0);
    EXPECT_EQ(displayState().inkColour, 0xFFFF);
}

}  // namespace
}  // namespace veldra

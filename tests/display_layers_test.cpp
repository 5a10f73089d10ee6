// Layers and pens: which pen draws where in which colour, the plot window's shift, the
// ink colour, resetting the layers, and the fade formulas and schedule.
#include <gtest/gtest.h>

#include "display/display.h"

namespace veldra {
namespace {

class LayersTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDisplay();
        ASSERT_TRUE(setPlotWindow(0, 26, 240, 268));
        buildFont();
        buildTrigTables();
    }
    static uint16_t at(const Surface& layer, int32_t x, int32_t y) {
        return layer.pixels[y * layerWidth + x];
    }
    static int32_t litCount(const Surface& layer) {
        int32_t n = 0;
        for (int32_t p = 0; p < layerWidth * layerHeight; ++p) n += layer.pixels[p] != 0;
        return n;
    }
};

TEST_F(LayersTest, LayersExistBeforeMainAsOwnedSurfaces) {
    for (const Surface* layer : {&BackgroundLayer, &ScaleLayer, &InkLayer}) {
        EXPECT_EQ(layer->flags, 5u);
        EXPECT_EQ(layer->width, 240);
        EXPECT_EQ(layer->height, 320);
        EXPECT_NE(layer->pixels, nullptr);
    }
}

TEST_F(LayersTest, EachPenPicksItsLayerAndColour) {
    const struct {
        int32_t pen;
        const Surface* layer;
        uint16_t colour;
    } pens[] = {{PenInk, &InkLayer, 0xFFFF},       {PenScale, &ScaleLayer, 0xFBE0},
                {0, &InkLayer, 0xF0FF},            {4, &InkLayer, 0xF0FF},
                {-1, &InkLayer, 0xF0FF},           {48, &InkLayer, 0xF0FF}};
    for (const auto& p : pens) {
        resetDisplay();
        setPlotWindow(0, 26, 240, 268);
        drawPoint(p.pen, 5, 7);
        EXPECT_EQ(at(*p.layer, 5, 7), p.colour) << p.pen;
        EXPECT_EQ(litCount(InkLayer) + litCount(ScaleLayer), 1) << p.pen;
    }
    // The erasing pens write 0 into their own layer only.
    for (Surface* layer : {&ScaleLayer, &InkLayer}) layer->pixels[7 * 240 + 5] = 0x1111;
    drawPoint(PenScaleErase, 5, 7);
    EXPECT_EQ(at(ScaleLayer, 5, 7), 0);
    EXPECT_EQ(at(InkLayer, 5, 7), 0x1111);
    ScaleLayer.pixels[7 * 240 + 5] = 0x1111;
    drawPoint(PenInkErase, 5, 7);
    EXPECT_EQ(at(InkLayer, 5, 7), 0);
    EXPECT_EQ(at(ScaleLayer, 5, 7), 0x1111);
}

TEST_F(LayersTest, InkColourFromEightBitChannels) {
    const struct {
        int32_t r, g, b;
        uint16_t colour;
    } cases[] = {{255, 255, 255, 0xFFFF}, {71, 79, 255, 0x427F}, {95, 255, 95, 0x5FEB},
                 {255, 255, 15, 0xFFE1},  {0, 0, 0, 0x0000}};
    for (const auto& c : cases) {
        setInkColour(PenInk, c.r, c.g, c.b);
        EXPECT_EQ(displayState().inkColour, c.colour);
        drawPoint(PenInk, 1, 1);
        EXPECT_EQ(at(InkLayer, 1, 1), c.colour);
    }
    setInkColour(PenInk, 71, 79, 255);
    drawPoint(PenInk, 2, 2);
    for (int32_t pen : {0, int32_t{PenScale}, int32_t{PenScaleErase}, int32_t{PenInkErase}, 7}) setInkColour(pen, 255, 0, 0);
    drawPoint(PenInk, 3, 3);
    EXPECT_EQ(at(InkLayer, 2, 2), 0x427F);
    EXPECT_EQ(at(InkLayer, 3, 3), 0x427F);
    EXPECT_EQ(at(ScaleLayer, 3, 3), 0);
}

TEST_F(LayersTest, EveryPenOperationShiftsXByThePlotLeftEdge) {
    ASSERT_TRUE(setPlotWindow(16, 26, 200, 268));
    drawPoint(PenScale, 5, 7);
    EXPECT_EQ(at(ScaleLayer, 21, 7), scaleColour);
    EXPECT_EQ(at(ScaleLayer, 5, 7), 0);

    // Each shape drawn through a pen equals the raw shape 16 columns to the right.
    Surface expected{};
    initSurface(expected, 240, 320);
    const auto compare = [&](auto penDraw, auto rawDraw) {
        resetDisplay();
        setPlotWindow(16, 26, 200, 268);
        buildFont();
        buildTrigTables();
        for (int32_t p = 0; p < 240 * 320; ++p) expected.pixels[p] = 0;
        penDraw();
        rawDraw();
        for (int32_t p = 0; p < 240 * 320; ++p) {
            ASSERT_EQ(InkLayer.pixels[p], expected.pixels[p]) << p % 240 << "," << p / 240;
        }
        EXPECT_GT(litCount(InkLayer), 0);
    };
    compare([] { drawLine(0, 0, 10, 30, 40); }, [&] { rasterLine(expected, 16, 10, 46, 40, 0xF0FF); });
    compare([] { drawCircle(0, 50, 60, 12); }, [&] { rasterCircle(expected, 66, 60, 12, 0xF0FF); });
    compare([] { drawRing(0, 50, 60, 3, 9); }, [&] { rasterRing(expected, 66, 60, 3, 9, 0xF0FF); });
    compare([] { drawText(0, "A1", 50, 60); }, [&] { rasterText(expected, "A1", 66, 60, 0xF0FF); });
    releaseSurface(expected);

    // A line whose shifted end leaves the layer is dropped, though it fitted unshifted.
    resetDisplay();
    setPlotWindow(16, 26, 200, 268);
    drawLine(0, 0, 10, 230, 10);
    EXPECT_EQ(litCount(InkLayer), 0);
}

TEST_F(LayersTest, PlotWindowMustLieOnTheScreen) {
    EXPECT_TRUE(setPlotWindow(0, 0, 240, 320));
    EXPECT_TRUE(setPlotWindow(239, 319, 1, 1));
    EXPECT_FALSE(setPlotWindow(1, 26, 240, 268));
    EXPECT_FALSE(setPlotWindow(0, 53, 240, 268));
    EXPECT_FALSE(setPlotWindow(-1, 0, 10, 10));
    EXPECT_FALSE(setPlotWindow(0, 0, -1, 10));
    EXPECT_FALSE(setPlotWindow(0, 0, 10, 2147483647));
    EXPECT_EQ(displayState().plot.left, 239);
    EXPECT_EQ(displayState().plot.height, 1);
}

TEST_F(LayersTest, ResetLayersCopiesTheBackgroundAndClearsTheInk) {
    for (int32_t p = 0; p < 240 * 320; ++p) {
        BackgroundLayer.pixels[p] = static_cast<uint16_t>(p * 7);
        ScaleLayer.pixels[p] = 0x1234;
        InkLayer.pixels[p] = 0x4321;
    }
    resetLayers();
    for (int32_t p = 0; p < 240 * 320; ++p) {
        ASSERT_EQ(ScaleLayer.pixels[p], static_cast<uint16_t>(p * 7)) << p;
        ASSERT_EQ(InkLayer.pixels[p], 0) << p;
    }
}

TEST_F(LayersTest, WhiteFadesThroughTheKnownSequence) {
    InkLayer.pixels[0] = 0xFFFF;
    const uint16_t sequence[] = {0xC618, 0x39E7, 0x3186, 0x2965, 0x2124, 0x1903, 0x18C3, 0x10A2};
    for (uint16_t expected : sequence) {
        const uint16_t before = InkLayer.pixels[0];
        while (InkLayer.pixels[0] == before) fadeInk();
        EXPECT_EQ(InkLayer.pixels[0], expected);
    }
}

TEST_F(LayersTest, FadesOnCallsThreeFiveEightAndTenAlternatingFormulas) {
    // From white the quarter formula gives 0xC618 and the step formula 0x73CE.
    const char* expected = "--q-s--q-s--q-s";
    for (int32_t call = 0; expected[call] != '\0'; ++call) {
        InkLayer.pixels[100] = 0xFFFF;
        fadeInk();
        const uint16_t v = InkLayer.pixels[100];
        const char seen = v == 0xFFFF ? '-' : v == 0xC618 ? 'q' : v == 0x73CE ? 's' : '?';
        EXPECT_EQ(seen, expected[call]) << "call " << call + 1;
    }
}

TEST_F(LayersTest, FadeTouchesOnlyThePlotWindowsRows) {
    ASSERT_TRUE(setPlotWindow(0, 26, 240, 100));
    for (int32_t p = 0; p < 240 * 320; ++p) InkLayer.pixels[p] = 0xFFFF;
    for (int32_t i = 0; i < 3; ++i) fadeInk();
    EXPECT_EQ(at(InkLayer, 0, 0), 0xC618);
    EXPECT_EQ(at(InkLayer, 239, 99), 0xC618);
    EXPECT_EQ(at(InkLayer, 0, 100), 0xFFFF);
    EXPECT_EQ(at(InkLayer, 239, 319), 0xFFFF);
}

TEST_F(LayersTest, ResetDisplayRestoresTheStartValues) {
    setInkColour(PenInk, 0, 0, 0);
    fadeInk();
    suspendDrawing();
    resetDisplay();
    const DisplayState& d = displayState();
    EXPECT_EQ(d.inkColour, 0xFFFF);
    EXPECT_EQ(d.plot.width, 0);
    EXPECT_EQ(d.fadeAccumulator, 0);
    EXPECT_TRUE(d.fadeQuarterNext);
    EXPECT_FALSE(d.drawingSuspended);
    EXPECT_FALSE(d.displayOpen);
    EXPECT_EQ(d.xPitch, 1);
    EXPECT_EQ(d.yPitch, 1);
    EXPECT_EQ(cos1024(0), 0);
    EXPECT_EQ(litCount(InkLayer) + litCount(ScaleLayer) + litCount(BackgroundLayer), 0);
}

}  // namespace
}  // namespace veldra

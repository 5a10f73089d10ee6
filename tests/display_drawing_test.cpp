// Drawing into surfaces and layers: the raster primitives and the trig tables (exact pixel
// sets and bounds), the bitmap font and its cursor rules, the pens and layers, the ink
// colour and the fade sequence and schedule.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/font.h"
#include "display/surface.h"
#include "display/trig_tables.h"
#include "tests/support/surface_pixels.h"

namespace veldra {
namespace {

// ---- Surfaces, the raster primitives and the trig tables.

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
        {0, 0, 40, 5, {}},
        {5, 30, 0, 0, {}},
        {-1, 0, 5, 5, {}},
        {5, 5, 5, -1, {}},
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
    EXPECT_EQ(take(10, 10), (Pixels{{-2, -2},
                                    {-2, -1},
                                    {-2, 0},
                                    {-2, 1},
                                    {-1, -2},
                                    {-1, 1},
                                    {0, -2},
                                    {0, 1},
                                    {1, -2},
                                    {1, -1},
                                    {1, 0},
                                    {1, 1},
                                    {2, 0}}));
}

TEST_F(RasterTest, CirclesAndRingsFitWhollyBelowRowZero) {
    for (auto draw :
         {+[](Surface&t, int32_t x, int32_t y, int32_t r) { rasterCircle(t, x, y, r, 1); },
          +[](Surface&t, int32_t x, int32_t y, int32_t r) { rasterRing(t, x, y, 0, r, 1); }}) {
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
    const int32_t telling[][3] = {{1, 1023, 6},     {64, 946, 391},    {128, 724, 724},
                                  {384, -724, 724}, {640, -724, -724}, {1023, 1023, -6}};
    for (const auto& t : telling)
        EXPECT_EQ(std::pair(cos1024(t[0]), sin1024(t[0])), std::pair(t[1], t[2])) << t[0];
    EXPECT_EQ(cos1024(1024), 1024);
    EXPECT_EQ(sin1024(1280), 1024);
    EXPECT_EQ(sin1024(0xFFFFFFFFu), -6);
}

// ---- The bitmap font: glyph shapes, the character map, case folding and the cursor rules
// (line feed, backspace, wrap).

class FontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        buildFont();
        initSurface(s, 240, 320);
    }
    void TearDown() override { releaseSurface(s); }
    // The pixels that drawing text at (x, y) lights, from a clear surface.
    Pixels draw(const std::string& text, int32_t x, int32_t y) {
        std::fill(s.pixels, s.pixels + 240 * 320, 0);
        rasterText(s, text.c_str(), x, y, 0xFFFF);
        return litPixels(s);
    }
    static Pixels both(Pixels a, const Pixels& b) {
        a.insert(b.begin(), b.end());
        return a;
    }
    Surface s{};
};

TEST_F(FontTest, GlyphsAreDrawnCellForCell) {
    Pixels one;  // a 2-pixel bar in columns 5 and 6 of its cell
    for (int32_t k = 0; k < 7; ++k)
        one.insert({{25, 30 + k}, {26, 30 + k}});
    EXPECT_EQ(draw("1", 20, 30), one);
    const Pixels z = draw("z", 20, 30);  // two rows short at the top
    EXPECT_EQ(z.size(), 16u);
    EXPECT_EQ(z.begin()->first, 22);
    EXPECT_EQ(
        std::min_element(z.begin(), z.end(), [](auto a, auto b) { return a.second < b.second; })
            ->second,
        32);
    EXPECT_EQ(draw("8", 20, 30).size(), 31u);
}

TEST_F(FontTest, CapitalsFoldOntoLettersAndCellsAdvanceByEight) {
    const Pixels hello = draw("hello", 10, 40);
    EXPECT_EQ(draw("HeLLO", 10, 40), hello);
    EXPECT_EQ(hello, both(both(draw("he", 10, 40), draw("l", 26, 40)), draw("lo", 34, 40)));
}

TEST_F(FontTest, OnlyMappedBytesDrawAndEveryByteAdvances) {
    const std::string visible =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
        "0123456789:!?-=+[].,><#'@/\\\xE4\xFC\xF6";
    const Pixels marker = draw("1", 58, 50);
    for (int32_t c = 1; c < 256; ++c) {
        if (c == 8 || c == 10 || c == 13) continue;
        const std::string one(1, static_cast<char>(c));
        const bool drawn = !draw(one, 50, 50).empty();
        EXPECT_EQ(drawn, visible.find(static_cast<char>(c)) != std::string::npos) << c;
        if (!drawn) {
            EXPECT_EQ(draw(one + "1", 50, 50), marker) << c;
        }
    }
    EXPECT_TRUE(draw("", 10, 10).empty());
    resetFont();
    EXPECT_TRUE(draw("Hello 123", 10, 10).empty());
}

TEST_F(FontTest, LineFeedBackspaceAndWrapMoveTheCursor) {
    EXPECT_EQ(draw("1\n1", 50, 20), both(draw("1", 50, 20), draw("1", 2, 29)));
    EXPECT_EQ(draw("1\r1", 50, 20), both(draw("1", 50, 20), draw("1", 2, 29)));
    EXPECT_EQ(draw("\n\n1", 50, 20), draw("1", 2, 38));
    EXPECT_EQ(draw("\n1", 50, 299), draw("1", 2, 308));  // from row 300 on, no move down
    EXPECT_EQ(draw("\n\n\n1", 50, 295), draw("1", 2, 304));
    EXPECT_EQ(draw("\b1", 2, 20), draw("1", 2, 20));
    EXPECT_EQ(draw("\b1", 10, 20), draw("1", 2, 20));
    EXPECT_EQ(draw("1\b-", 10, 20), both(draw("1", 10, 20), draw("-", 10, 20)));
    EXPECT_EQ(draw("11", 226, 20), both(draw("1", 226, 20), draw("1", 2, 29)));
    EXPECT_EQ(draw("11", 222, 20), both(draw("1", 222, 20), draw("1", 230, 20)));
}

// ---- Layers and pens: which pen draws where in which colour, the plot window's shift,
// the ink colour, resetting the layers, and the fade sequence and schedule.

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
    } pens[] = {{PenInk, &InkLayer, 0xFFFF}, {PenScale, &ScaleLayer, 0xFBE0},
                {0, &InkLayer, 0xF0FF},      {4, &InkLayer, 0xF0FF},
                {-1, &InkLayer, 0xF0FF},     {48, &InkLayer, 0xF0FF}};
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
    } cases[] = {{255, 255, 255, 0xFFFF},
                 {71, 79, 255, 0x427F},
                 {95, 255, 95, 0x5FEB},
                 {255, 255, 15, 0xFFE1}};
    for (const auto& c : cases) {
        setInkColour(PenInk, c.r, c.g, c.b);
        drawPoint(PenInk, 1, 1);
        EXPECT_EQ(InkLayer.pixels[241], c.colour);
    }
    for (int32_t pen : {0, 2, 3, 49, 7})
        setInkColour(pen, 0, 0, 0);  // other pens: ignored
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
    sameAsShifted([] { drawLine(0, 0, 10, 30, 40); },
                  [&] { rasterLine(expected, 16, 10, 46, 40, 0xF0FF); });
    sameAsShifted([] { drawCircle(0, 50, 60, 12); },
                  [&] { rasterCircle(expected, 66, 60, 12, 0xF0FF); });
    sameAsShifted([] { drawRing(0, 50, 60, 3, 9); },
                  [&] { rasterRing(expected, 66, 60, 3, 9, 0xF0FF); });
    sameAsShifted([] { drawText(0, "A1", 50, 60); },
                  [&] { rasterText(expected, "A1", 66, 60, 0xF0FF); });
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
        for (int32_t k = 0; k < count; ++k)
            drawPoint(pen, xs[k], ys[k]);
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
    drawPoint(0, -16, 0);        // layer column 0
    drawPoint(0, 223, 319);      // layer column 239, the last row
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
        while (InkLayer.pixels[0] == before)
            fadeInk();
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

// The dial's geometry and its per-mode scale: string rings, octave digits, the reset of
// the layers on a mode change.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "display/display.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr uint16_t scaleYellow = 0xFBE0;

class DialScaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDisplay();
        setPlotWindow(0, 26, 240, 268);
        buildFont();
        buildTrigTables();
        resetDial();
        setDialGeometry(120, 128, 40, 106);
    }
    void TearDown() override { resetDisplay(); }

    static uint16_t at(const Surface& s, int32_t x, int32_t y) { return s.pixels[y * s.width + x]; }

    // The 7 x 7 cell of a glyph at (x, y) in ScaleLayer.
    static std::vector<uint16_t> cell(int32_t x, int32_t y) {
        std::vector<uint16_t> pixels;
        for (int32_t j = 0; j < 7; ++j)
            for (int32_t i = 0; i < 7; ++i) pixels.push_back(at(ScaleLayer, x + i, y + j));
        return pixels;
    }
    // The cell that the font draws for text on an empty scale layer.
    static std::vector<uint16_t> glyphCell(const char* text, int32_t x, int32_t y) {
        resetLayers();
        drawText(PenScale, text, x, y);
        return cell(x, y);
    }
    static bool insideCell(int32_t px, int32_t py, int32_t x, int32_t y) {
        return px >= x && px < x + 7 && py >= y && py < y + 7;
    }
};

TEST_F(DialScaleTest, SpiralStartsAtTheTopAndWindsOutwardClockwise) {
    int32_t x, y;
    dialPoint(0, 0, x, y);
    EXPECT_EQ(x, 120);
    EXPECT_EQ(y, 88);
    dialPoint(256, 0, x, y);  // a quarter turn on: 3 o'clock, 5.5 pixels further out
    EXPECT_EQ(x, 165);
    EXPECT_EQ(y, 128);
    dialPoint(3072, 0, x, y);
    EXPECT_EQ(x, 120);
    EXPECT_EQ(y, 22);
    dialPoint(1024, 10, x, y);  // one turn on, moved 10 pixels outward
    EXPECT_EQ(x, 120);
    EXPECT_EQ(y, 56);
}

// Just below the start, the spiral continues backward: counter-clockwise of the top and
// inside the inner radius.
TEST_F(DialScaleTest, PitchJustBelowTheStartGivesANegativeAngle) {
    setupInstrument(InstrumentKind::Violin);
    const int32_t a = angleIndex(3.0f - 0.05f);
    EXPECT_EQ(a, -51);
    int32_t x, y;
    dialPoint(a, 0, x, y);
    EXPECT_LT(x, 120);
    EXPECT_LT(y, 128);
    EXPECT_LT(std::hypot(x - 120, y - 128), 40.0);
    EXPECT_GT(std::hypot(x - 120, y - 128), 37.0);
}

TEST_F(DialScaleTest, GuitarRingsSitOnTheSixStringsWithSeeThroughHoles) {
    setupInstrument(InstrumentKind::Guitar);
    const DialState& s = dialState();
    EXPECT_EQ(s.lowOctave, 2);
    EXPECT_EQ(s.octaveSpan, 3);
    ASSERT_EQ(s.stringCount, 6);
    const int32_t expected[6][2] = {{160, 152}, {64, 128}, {176, 96}, {83, 193}, {78, 58}, {198, 174}};
    for (int32_t i = 0; i < 6; ++i) {
        int32_t x, y;
        dialPoint(angleIndex(s.stringPositions[i]), 0, x, y);
        SCOPED_TRACE(i);
        EXPECT_EQ(x, expected[i][0]);
        EXPECT_EQ(y, expected[i][1]);
        // Radii 5..8 in the scale colour round a hole of radius 4 that shows the ink.
        EXPECT_EQ(at(ScaleLayer, x, y), 0);
        EXPECT_EQ(at(ScaleLayer, x + 4, y + 2), 0);
        EXPECT_EQ(at(ScaleLayer, x - 5, y), scaleYellow);
        EXPECT_EQ(at(ScaleLayer, x, y + 8), scaleYellow);
        EXPECT_EQ(at(ScaleLayer, x + 6, y - 6), scaleYellow);  // 36 + 36 = 72, the outer bound
        EXPECT_EQ(at(ScaleLayer, x + 7, y - 6), 0);
        EXPECT_EQ(at(ScaleLayer, x + 9, y), 0);
    }
}

TEST_F(DialScaleTest, GuitarDigitsReadTwoAtTheStartAndFiveAtTheEnd) {
    setupInstrument(InstrumentKind::Guitar);
    const auto start = cell(120, 95), end = cell(126, 8);
    EXPECT_EQ(start, glyphCell("2", 120, 95));
    EXPECT_EQ(end, glyphCell("5", 126, 8));
    EXPECT_NE(start, glyphCell("3", 120, 95));
}

// Modes without strings draw the two digits and nothing else.
TEST_F(DialScaleTest, ModesWithoutStringsShowOnlyTheirOctaveDigits) {
    struct Case {
        InstrumentKind kind;
        const char* low;
        const char* high;
    };
    for (const Case& c : {Case{InstrumentKind::Bass, "1", "4"}, Case{InstrumentKind::Alto, "2", "5"},
                          Case{InstrumentKind::Singing, "3", "6"}}) {
        setupInstrument(c.kind);
        SCOPED_TRACE(c.low);
        EXPECT_EQ(dialState().stringCount, 0);
        int32_t outside = 0;
        for (int32_t y = 0; y < 320; ++y)
            for (int32_t x = 0; x < 240; ++x)
                if (at(ScaleLayer, x, y) != 0 && !insideCell(x, y, 120, 95) && !insideCell(x, y, 126, 8))
                    ++outside;
        EXPECT_EQ(outside, 0);
        const auto start = cell(120, 95), end = cell(126, 8);
        EXPECT_EQ(start, glyphCell(c.low, 120, 95));
        EXPECT_EQ(end, glyphCell(c.high, 126, 8));
    }
}

// A mode change starts the picture afresh: the scale from the background, the ink empty,
// the old mode's rings gone.
TEST_F(DialScaleTest, ModeChangeRebuildsTheScaleFromTheBackgroundAndClearsTheInk) {
    setupInstrument(InstrumentKind::Guitar);
    BackgroundLayer.pixels[300 * 240 + 10] = 0x1234;
    drawPoint(PenInk, 50, 50);
    setupInstrument(InstrumentKind::Erhu);
    EXPECT_EQ(at(ScaleLayer, 10, 300), 0x1234);
    EXPECT_EQ(at(InkLayer, 50, 50), 0);
    EXPECT_EQ(at(ScaleLayer, 160 - 6, 152), 0);  // Guitar's E 2 ring
    EXPECT_EQ(dialState().lowOctave, 3);
    EXPECT_EQ(dialState().stringCount, 2);
    EXPECT_EQ(cell(120, 95), glyphCell("3", 120, 95));
}

TEST_F(DialScaleTest, RefusedSetUpsChangeNothing) {
    setupInstrument(InstrumentKind::Cello);
    const DialState before = dialState();
    setupInstrument(static_cast<InstrumentKind>(9));
    configureDial(2, 0, nullptr, 0);  // no turns: refused
    EXPECT_EQ(dialState().lowOctave, before.lowOctave);
    EXPECT_EQ(dialState().octaveSpan, 3);
    EXPECT_EQ(dialState().stringPositions, before.stringPositions);
}

}  // namespace
}  // namespace veldra

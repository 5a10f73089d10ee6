// The tuning dial: its geometry, the per-mode scale (string rings, octave digits) and the
// refresh (needle, arrows, marker, highlight circle).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "display/display.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr uint16_t green = 0x5FEB;        // needle and arrows
constexpr uint16_t blue = 0x427F;         // marker
constexpr uint16_t yellow = 0xFFE1;       // highlight circle
constexpr uint16_t scaleYellow = 0xFBE0;  // string rings and digits

class DialTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDisplay();
        setPlotWindow(0, 26, 240, 268);
        buildFont();
        buildTrigTables();
        resetDial();
        resetDetector();
        resetValidator();
        setDialGeometry(120, 128, 40, 106);
    }
    void TearDown() override { resetDisplay(); }

    static uint16_t at(const Surface& s, int32_t x, int32_t y) { return s.pixels[y * s.width + x]; }
    static uint16_t ink(int32_t x, int32_t y) { return at(InkLayer, x, y); }
    // Pixels of the colour (any but 0 when colour is 0) in the box [x0, x1] x [y0, y1].
    static int32_t lit(const Surface& s, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                       uint16_t colour = 0) {
        int32_t n = 0;
        for (int32_t y = y0; y <= y1; ++y)
            for (int32_t x = x0; x <= x1; ++x) n += colour == 0 ? at(s, x, y) != 0 : at(s, x, y) == colour;
        return n;
    }
    static int32_t lit(const Surface& s, uint16_t colour = 0) { return lit(s, 0, 0, 239, 319, colour); }
    // The 7 x 7 cell at (x, y) in ScaleLayer, and what the font draws there for text.
    static std::vector<uint16_t> cell(int32_t x, int32_t y) {
        std::vector<uint16_t> pixels;
        for (int32_t j = 0; j < 7; ++j)
            for (int32_t i = 0; i < 7; ++i) pixels.push_back(at(ScaleLayer, x + i, y + j));
        return pixels;
    }
    static std::vector<uint16_t> glyphCell(const char* text, int32_t x, int32_t y) {
        resetLayers();
        drawText(PenScale, text, x, y);
        return cell(x, y);
    }

    // Makes period the most recent listed one: a loud block opens the envelope, then the
    // validator is fed the period until it has been held long enough to be listed.
    static void listPeriod(float period) {
        resetDetector();
        resetValidator();
        std::vector<int16_t> loud(100);
        for (size_t i = 0; i < loud.size(); ++i) loud[i] = i % 2 ? 20000 : -20000;
        trackBlock(loud.data(), static_cast<int32_t>(loud.size()));
        for (int32_t i = 0; i < 2000 && validatorState().recentCount == 0; ++i) validatePeriod(period);
        ASSERT_EQ(recentPeriod(0), static_cast<double>(period));
    }
    static float frequencyOf(double position) {
        return static_cast<float>(16.3515625 * std::pow(2.0, position));
    }
};

TEST_F(DialTest, SpiralWindsClockwiseFromTheTopAndBackwardBelowItsStart) {
    const int32_t cases[][5] = {// a, radial offset, x, y
                                {0, 0, 120, 88},   {256, 0, 165, 128}, {3072, 0, 120, 22},
                                {1024, 10, 120, 56}};
    for (const auto& c : cases) {
        int32_t x, y;
        dialPoint(c[0], c[1], x, y);
        EXPECT_EQ(x, c[2]) << c[0];
        EXPECT_EQ(y, c[3]) << c[0];
    }
    setupInstrument(InstrumentKind::Violin);
    const int32_t a = angleIndex(3.0f - 0.05f);
    EXPECT_EQ(a, -51);
    int32_t x, y;
    dialPoint(a, 0, x, y);  // counter-clockwise of the top, inside the inner radius
    EXPECT_LT(x, 120);
    EXPECT_LT(std::hypot(x - 120, y - 128), 40.0);
}

TEST_F(DialTest, GuitarRingsSitOnTheSixStringsWithSeeThroughHoles) {
    setupInstrument(InstrumentKind::Guitar);
    const DialState& s = dialState();
    ASSERT_EQ(s.stringCount, 6);
    const int32_t expected[6][2] = {{160, 152}, {64, 128}, {176, 96}, {83, 193}, {78, 58}, {198, 174}};
    for (int32_t i = 0; i < 6; ++i) {
        int32_t x, y;
        dialPoint(angleIndex(s.stringPositions[i]), 0, x, y);
        SCOPED_TRACE(i);
        EXPECT_EQ(x, expected[i][0]);
        EXPECT_EQ(y, expected[i][1]);
        // Radii 5..8 (squared distance 21..72) round a hole of radius 4 that shows the ink.
        EXPECT_EQ(at(ScaleLayer, x, y), 0);
        EXPECT_EQ(at(ScaleLayer, x + 4, y + 2), 0);
        EXPECT_EQ(at(ScaleLayer, x - 5, y), scaleYellow);
        EXPECT_EQ(at(ScaleLayer, x + 6, y - 6), scaleYellow);
        EXPECT_EQ(at(ScaleLayer, x + 7, y - 6), 0);
    }
}

// Digits of the lowest and highest octave at (120, 95) and (126, 8); modes without
// strings draw nothing else.
TEST_F(DialTest, OctaveDigitsOfEachMode) {
    struct Case {
        InstrumentKind kind;
        const char *low, *high;
    };
    for (const Case& c : {Case{InstrumentKind::Guitar, "2", "5"}, Case{InstrumentKind::Bass, "1", "4"},
                          Case{InstrumentKind::Alto, "2", "5"}, Case{InstrumentKind::Singing, "3", "6"}}) {
        setupInstrument(c.kind);
        SCOPED_TRACE(c.low);
        if (c.kind != InstrumentKind::Guitar) {
            EXPECT_EQ(lit(ScaleLayer), lit(ScaleLayer, 120, 95, 126, 101) + lit(ScaleLayer, 126, 8, 132, 14));
        }
        const auto start = cell(120, 95), end = cell(126, 8);
        EXPECT_EQ(start, glyphCell(c.low, 120, 95));
        EXPECT_EQ(end, glyphCell(c.high, 126, 8));
    }
}

// A mode change starts the picture afresh: the scale from the background, the ink empty,
// the old mode's rings gone. Refused set-ups change nothing.
TEST_F(DialTest, ModeChangeRebuildsTheScaleFromTheBackgroundAndClearsTheInk) {
    setupInstrument(InstrumentKind::Guitar);
    BackgroundLayer.pixels[300 * 240 + 10] = 0x1234;
    drawPoint(PenInk, 50, 50);
    setupInstrument(InstrumentKind::Erhu);
    EXPECT_EQ(at(ScaleLayer, 10, 300), 0x1234);
    EXPECT_EQ(ink(50, 50), 0);
    EXPECT_EQ(at(ScaleLayer, 160 - 6, 152), 0);  // Guitar's E 2 ring
    EXPECT_EQ(dialState().lowOctave, 3);
    EXPECT_EQ(dialState().stringCount, 2);

    setupInstrument(static_cast<InstrumentKind>(9));
    configureDial(2, 0, nullptr, 0);  // no turns
    EXPECT_EQ(dialState().lowOctave, 3);
    EXPECT_EQ(dialState().octaveSpan, 3);
    EXPECT_EQ(dialState().stringCount, 2);
}

TEST_F(DialTest, PitchPositionCountsOctavesAboveC0) {
    EXPECT_NEAR(pitchPositionFromFrequency(440.0f), 4.750003f, 1e-6f);
    EXPECT_GT(pitchPositionFromFrequency(440.0f), 4.75f);  // C0 = 16.3515625 Hz is a shade low
    EXPECT_NEAR(pitchPositionFromFrequency(82.4f), 2.0f + 4.0f / 12.0f, 2e-4f);
}

TEST_F(DialTest, ViolinA440PutsTheNeedleAtNineOClock) {
    setupInstrument(InstrumentKind::Violin);
    updateDial(440.0f, true);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_EQ(dialState().readingAngle, 1792);
    // The disc of radius 4 at (42, 128) and the stroke out to (21, 128), all green; no
    // period is listed, so no marker and no circle.
    EXPECT_EQ(ink(46, 128), green);
    EXPECT_EQ(ink(42, 124), green);
    EXPECT_EQ(ink(47, 128), 0);
    EXPECT_EQ(ink(21, 128), green);
    EXPECT_EQ(ink(20, 128), 0);
    EXPECT_EQ(lit(InkLayer), lit(InkLayer, 21, 124, 46, 132, green));
}

// Beyond a semitone past either end only an arrow is drawn; up to it, the needle on the
// continued spiral.
TEST_F(DialTest, ArrowsBeyondTheDialNeedleUpToASemitonePast) {
    setupInstrument(InstrumentKind::Violin);  // C3 to C6
    struct Case {
        float frequency;
        DialReading reading;
        int32_t tipX, tipY, baseX;
    };
    const Case cases[] = {{110.0f, DialReading::Low, 108, 88, 112},   // 2.75 octaves
                          {2000.0f, DialReading::High, 132, 22, 128}};  // 6.93 octaves
    for (const Case& c : cases) {
        resetLayers();
        updateDial(c.frequency, true);
        SCOPED_TRACE(c.frequency);
        EXPECT_EQ(dialState().reading, c.reading);
        EXPECT_EQ(ink(c.tipX, c.tipY), green);
        EXPECT_EQ(ink(c.baseX, c.tipY - 4), green);
        EXPECT_EQ(ink(c.baseX, c.tipY + 4), green);
        const int32_t left = std::min(c.tipX, c.baseX), right = std::max(c.tipX, c.baseX);
        EXPECT_EQ(lit(InkLayer), lit(InkLayer, left, c.tipY - 4, right, c.tipY + 4));
    }
    updateDial(frequencyOf(3.0 - 0.07), true);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_LT(dialState().readingAngle, 0);
    updateDial(frequencyOf(6.0 + 0.07), true);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_GT(dialState().readingAngle, 3072);
    updateDial(frequencyOf(6.0 + 0.09), true);
    EXPECT_EQ(dialState().reading, DialReading::High);
}

TEST_F(DialTest, MarkerShowsTheListedPeriodWithOrWithoutTheNeedle) {
    setupInstrument(InstrumentKind::Guitar);
    updateDial(22050.0f, false);  // nothing listed: nothing drawn
    EXPECT_EQ(lit(InkLayer), 0);

    listPeriod(200.0f);  // 110.25 Hz, near A 2
    updateDial(300.0f, false);
    EXPECT_EQ(dialState().reading, DialReading::None);
    EXPECT_EQ(lit(InkLayer), lit(InkLayer, blue));
    int32_t x, y;
    dialPoint(angleIndex(pitchPositionFromFrequency(22050.0f / 200.0f)), 0, x, y);
    EXPECT_EQ(ink(x, y), blue);

    resetLayers();
    setupInstrument(InstrumentKind::Violin);  // from C3: 110 Hz is off the dial
    updateDial(440.0f, false);
    EXPECT_EQ(lit(InkLayer), 0);
}

TEST_F(DialTest, HighlightCircleOncePerNewlyListedPeriod) {
    setupInstrument(InstrumentKind::Guitar);
    listPeriod(200.0f);
    const float frequency = 22050.0f / 200.0f;
    updateDial(frequency, true);
    int32_t x, y;
    dialPoint(angleIndex(pitchPositionFromFrequency(frequency)), 0, x, y);
    EXPECT_EQ(ink(x + 12, y), yellow);  // radius 12 round the needle's disc
    EXPECT_EQ(ink(x, y), green);        // the needle covers the marker at the same pitch
    EXPECT_EQ(dialState().lastMarkedPeriod, 200.0f);
    EXPECT_EQ(displayState().inkColour, yellow);  // left at the last colour set

    setupInstrument(InstrumentKind::Cello);  // a mode change does not forget the period
    updateDial(frequency, true);
    EXPECT_EQ(lit(InkLayer, yellow), 0);
    EXPECT_GT(lit(InkLayer, green), 0);
    EXPECT_EQ(displayState().inkColour, green);

    listPeriod(150.0f);
    resetLayers();
    updateDial(frequency, true);
    EXPECT_GT(lit(InkLayer, yellow), 0);
    EXPECT_EQ(dialState().lastMarkedPeriod, 150.0f);
}

}  // namespace
}  // namespace veldra

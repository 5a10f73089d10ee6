// The tuning dial: its geometry, the per-mode scale (string rings, octave digits) and the
// refresh (needle, arrows, marker, highlight circle).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "display/display.h"
#include "tests/support/surface_pixels.h"
#include "tests/support/tuner_setup.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr uint16_t green = 0x5FEB;        // needle and arrows
constexpr uint16_t blue = 0x427F;         // marker
constexpr uint16_t yellow = 0xFFE1;       // highlight circle
constexpr uint16_t scaleYellow = 0xFBE0;  // string rings and digits

class DialTest : public ::testing::Test {
protected:
    void SetUp() override { startTunerModules(); }
    void TearDown() override { resetDisplay(); }
    static uint16_t scale(int32_t x, int32_t y) { return ScaleLayer.pixels[y * 240 + x]; }
    static uint16_t ink(int32_t x, int32_t y) { return InkLayer.pixels[y * 240 + x]; }
    static std::pair<int32_t, int32_t> point(int32_t a) {
        int32_t x, y;
        dialPoint(a, 0, x, y);
        return {x, y};
    }
    static std::pair<int32_t, int32_t> pointOf(float frequency) {
        return point(angleIndex(pitchPositionFromFrequency(frequency)));
    }
    // The 7 x 7 cell at (x, y) in ScaleLayer.
    static std::vector<uint16_t> cell(int32_t x, int32_t y) {
        std::vector<uint16_t> pixels;
        for (int32_t j = 0; j < 7; ++j)
            for (int32_t i = 0; i < 7; ++i) pixels.push_back(scale(x + i, y + j));
        return pixels;
    }
};

TEST_F(DialTest, SpiralWindsClockwiseFromTheTopAndBackwardBelowItsStart) {
    const int32_t cases[][4] = {// a, radial offset, x, y
                                {0, 0, 120, 88}, {256, 0, 165, 128}, {3072, 0, 120, 22}, {1024, 10, 120, 56}};
    for (const auto& c : cases) {
        int32_t x, y;
        dialPoint(c[0], c[1], x, y);
        EXPECT_EQ(std::pair(x, y), std::pair(c[2], c[3])) << c[0];
    }
    setupInstrument(InstrumentKind::Violin);
    const int32_t a = angleIndex(3.0f - 0.05f);
    EXPECT_EQ(a, -51);
    const auto [x, y] = point(a);  // counter-clockwise of the top, inside the inner radius
    EXPECT_LT(x, 120);
    EXPECT_LT(std::hypot(x - 120, y - 128), 40.0);
}

// Radii 5..8 (squared distance 21..72) round a hole of radius 4 that shows the ink.
TEST_F(DialTest, GuitarRingsSitOnTheSixStringsWithSeeThroughHoles) {
    const DialState& s = dialState();
    ASSERT_EQ(s.stringCount, 6);
    const std::pair<int32_t, int32_t> expected[6] = {{160, 152}, {64, 128}, {176, 96}, {83, 193}, {78, 58}, {198, 174}};
    for (int32_t i = 0; i < 6; ++i) {
        const auto [x, y] = point(angleIndex(s.stringPositions[i]));
        SCOPED_TRACE(i);
        EXPECT_EQ(std::pair(x, y), expected[i]);
        EXPECT_EQ(std::tuple(scale(x, y), scale(x + 4, y + 2), scale(x - 5, y), scale(x + 6, y - 6), scale(x + 7, y - 6)),
                  std::tuple(0, 0, scaleYellow, scaleYellow, 0));
    }
}

// Digits of the lowest and highest octave at (120, 95) and (126, 8); modes without
// strings draw nothing else.
TEST_F(DialTest, OctaveDigitsOfEachMode) {
    const std::tuple<InstrumentKind, const char*, const char*> cases[] = {
        {InstrumentKind::Guitar, "2", "5"}, {InstrumentKind::Bass, "1", "4"},
        {InstrumentKind::Alto, "2", "5"},   {InstrumentKind::Singing, "3", "6"}};
    for (const auto& [kind, low, high] : cases) {
        setupInstrument(kind);
        SCOPED_TRACE(low);
        if (kind != InstrumentKind::Guitar) {
            EXPECT_EQ(countPixels(ScaleLayer),
                      countPixels(ScaleLayer, 120, 95, 126, 101) + countPixels(ScaleLayer, 126, 8, 132, 14));
        }
        const auto start = cell(120, 95), end = cell(126, 8);
        resetLayers();
        drawText(PenScale, low, 120, 95);
        drawText(PenScale, high, 126, 8);
        EXPECT_EQ(start, cell(120, 95));
        EXPECT_EQ(end, cell(126, 8));
    }
}

// A mode change starts the picture afresh: the scale from the background, the ink empty,
// the old mode's rings gone. Refused set-ups change nothing.
TEST_F(DialTest, ModeChangeRebuildsTheScaleFromTheBackgroundAndClearsTheInk) {
    BackgroundLayer.pixels[300 * 240 + 10] = 0x1234;
    drawPoint(PenInk, 50, 50);
    setupInstrument(InstrumentKind::Erhu);
    EXPECT_EQ(scale(10, 300), 0x1234);
    EXPECT_EQ(ink(50, 50), 0);
    EXPECT_EQ(scale(160 - 6, 152), 0);  // Guitar's E 2 ring
    EXPECT_EQ(std::pair(dialState().lowOctave, dialState().stringCount), std::pair(3, 2));
    setupInstrument(static_cast<InstrumentKind>(9));
    configureDial(2, 0, nullptr, 0);  // no turns
    EXPECT_EQ(std::tuple(dialState().lowOctave, dialState().octaveSpan, dialState().stringCount), std::tuple(3, 3, 2));
}

// The disc of radius 4 at (42, 128) and the stroke out to (21, 128), all green; no period
// is listed, so no marker and no circle.
TEST_F(DialTest, ViolinA440PutsTheNeedleAtNineOClock) {
    setupInstrument(InstrumentKind::Violin);
    updateDial(440.0f, true);
    EXPECT_EQ(std::pair(dialState().reading, dialState().readingAngle), std::pair(DialReading::Needle, 1792));
    EXPECT_EQ(std::tuple(ink(46, 128), ink(42, 124), ink(47, 128), ink(21, 128), ink(20, 128)),
              std::tuple(green, green, 0, green, 0));
    EXPECT_EQ(countPixels(InkLayer), countPixels(InkLayer, 21, 124, 46, 132, green));
}

// Beyond a semitone past either end only an arrow is drawn; up to it, the needle on the
// continued spiral.
TEST_F(DialTest, ArrowsBeyondTheDialNeedleUpToASemitonePast) {
    setupInstrument(InstrumentKind::Violin);  // C3 to C6
    const struct {
        float frequency;
        DialReading reading;
        int32_t tipX, tipY, baseX;
    } cases[] = {{110.0f, DialReading::Low, 108, 88, 112},     // 2.75 octaves
                 {2000.0f, DialReading::High, 132, 22, 128}};  // 6.93 octaves
    for (const auto& c : cases) {
        resetLayers();
        updateDial(c.frequency, true);
        SCOPED_TRACE(c.frequency);
        EXPECT_EQ(dialState().reading, c.reading);
        EXPECT_EQ(std::tuple(ink(c.tipX, c.tipY), ink(c.baseX, c.tipY - 4), ink(c.baseX, c.tipY + 4)),
                  std::tuple(green, green, green));
        const int32_t left = std::min(c.tipX, c.baseX), right = std::max(c.tipX, c.baseX);
        EXPECT_EQ(countPixels(InkLayer), countPixels(InkLayer, left, c.tipY - 4, right, c.tipY + 4));
    }
    const auto frequencyAt = [](double position) { return static_cast<float>(16.3515625 * std::exp2(position)); };
    updateDial(frequencyAt(3.0 - 0.07), true);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_LT(dialState().readingAngle, 0);
    updateDial(frequencyAt(6.0 + 0.07), true);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_GT(dialState().readingAngle, 3072);
    updateDial(frequencyAt(6.0 + 0.09), true);
    EXPECT_EQ(dialState().reading, DialReading::High);
}

TEST_F(DialTest, MarkerShowsTheListedPeriodWithOrWithoutTheNeedle) {
    updateDial(22050.0f, false);  // nothing listed: nothing drawn
    EXPECT_EQ(countPixels(InkLayer), 0);
    listPeriod(200.0f);  // 110.25 Hz, near A 2
    updateDial(300.0f, false);
    EXPECT_EQ(dialState().reading, DialReading::None);
    EXPECT_EQ(countPixels(InkLayer), countPixels(InkLayer, blue));
    const auto [x, y] = pointOf(22050.0f / 200.0f);
    EXPECT_EQ(ink(x, y), blue);
    resetLayers();
    setupInstrument(InstrumentKind::Violin);  // from C3: 110 Hz is off the dial
    updateDial(440.0f, false);
    EXPECT_EQ(countPixels(InkLayer), 0);
}

TEST_F(DialTest, HighlightCircleOncePerNewlyListedPeriod) {
    listPeriod(200.0f);
    const float frequency = 22050.0f / 200.0f;
    updateDial(frequency, true);
    const auto [x, y] = pointOf(frequency);
    EXPECT_EQ(ink(x + 12, y), yellow);  // radius 12 round the needle's disc
    EXPECT_EQ(ink(x, y), green);        // the needle covers the marker at the same pitch
    EXPECT_EQ(dialState().lastMarkedPeriod, 200.0f);
    EXPECT_EQ(displayState().inkColour, yellow);  // left at the last colour set

    setupInstrument(InstrumentKind::Cello);  // a mode change does not forget the period
    updateDial(frequency, true);
    EXPECT_EQ(countPixels(InkLayer, yellow), 0);
    EXPECT_GT(countPixels(InkLayer, green), 0);
    EXPECT_EQ(displayState().inkColour, green);

    listPeriod(150.0f);
    resetLayers();
    updateDial(frequency, true);
    EXPECT_GT(countPixels(InkLayer, yellow), 0);
    EXPECT_EQ(dialState().lastMarkedPeriod, 150.0f);
}

}  // namespace
}  // namespace veldra

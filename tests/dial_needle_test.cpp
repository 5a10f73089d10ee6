// The dial's refresh: needle, arrows, marker and highlight circle in InkLayer.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "display/display.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr uint16_t green = 0x5FEB;   // needle and arrows
constexpr uint16_t blue = 0x427F;    // marker
constexpr uint16_t yellow = 0xFFE1;  // highlight circle

struct Pixel {
    int32_t x, y;
    uint16_t colour;
};

class DialNeedleTest : public ::testing::Test {
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

    static uint16_t ink(int32_t x, int32_t y) { return InkLayer.pixels[y * 240 + x]; }
    static std::vector<Pixel> inkPixels() {
        std::vector<Pixel> lit;
        for (int32_t y = 0; y < 320; ++y)
            for (int32_t x = 0; x < 240; ++x)
                if (ink(x, y) != 0) lit.push_back({x, y, ink(x, y)});
        return lit;
    }
    static int32_t count(uint16_t colour) {
        int32_t n = 0;
        for (const Pixel& p : inkPixels()) n += p.colour == colour;
        return n;
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

TEST_F(DialNeedleTest, PitchPositionCountsOctavesAboveC0) {
    EXPECT_NEAR(pitchPositionFromFrequency(440.0f), 4.750003f, 1e-6f);
    EXPECT_GT(pitchPositionFromFrequency(440.0f), 4.75f);
    EXPECT_NEAR(pitchPositionFromFrequency(16.3515625f), 0.0f, 1e-6f);
    EXPECT_NEAR(pitchPositionFromFrequency(82.4f), 2.0f + 4.0f / 12.0f, 2e-4f);
}

TEST_F(DialNeedleTest, ViolinA440PutsTheNeedleAtNineOClock) {
    setupInstrument(InstrumentKind::Violin);
    updateDial(440.0f, true);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_EQ(dialState().readingAngle, 1792);
    // The disc of radius 4 at (42, 128) and the stroke out to (21, 128), all green.
    EXPECT_EQ(ink(42, 128), green);
    EXPECT_EQ(ink(46, 128), green);
    EXPECT_EQ(ink(42, 124), green);
    EXPECT_EQ(ink(47, 128), 0);
    EXPECT_EQ(ink(21, 128), green);
    EXPECT_EQ(ink(20, 128), 0);
    for (const Pixel& p : inkPixels()) {
        EXPECT_EQ(p.colour, green);
        EXPECT_TRUE(p.x >= 21 && p.x <= 46 && std::abs(p.y - 128) <= 4) << p.x << ", " << p.y;
    }
    // No period listed yet, so no highlight circle and no marker.
    EXPECT_EQ(count(yellow), 0);
    EXPECT_EQ(count(blue), 0);
}

TEST_F(DialNeedleTest, PitchBelowTheDialShowsTheLowArrowOnly) {
    setupInstrument(InstrumentKind::Violin);
    updateDial(110.0f, true);  // 2.75 octaves: below 3 - 1/12
    EXPECT_EQ(dialState().reading, DialReading::Low);
    EXPECT_EQ(ink(108, 88), green);  // the tip, pointing left
    EXPECT_EQ(ink(112, 84), green);
    EXPECT_EQ(ink(112, 92), green);
    EXPECT_EQ(ink(112, 88), green);
    for (const Pixel& p : inkPixels()) {
        EXPECT_TRUE(p.x >= 108 && p.x <= 112 && p.y >= 84 && p.y <= 92) << p.x << ", " << p.y;
    }
}

TEST_F(DialNeedleTest, PitchAboveTheDialShowsTheHighArrowOnly) {
    setupInstrument(InstrumentKind::Violin);
    updateDial(2000.0f, true);  // 6.93 octaves: above 6 + 1/12
    EXPECT_EQ(dialState().reading, DialReading::High);
    EXPECT_EQ(ink(132, 22), green);  // the tip, pointing right
    EXPECT_EQ(ink(128, 18), green);
    EXPECT_EQ(ink(128, 26), green);
    for (const Pixel& p : inkPixels()) {
        EXPECT_TRUE(p.x >= 128 && p.x <= 132 && p.y >= 18 && p.y <= 26) << p.x << ", " << p.y;
    }
}

// Within a semitone beyond either end the needle still shows, on the continued spiral.
TEST_F(DialNeedleTest, NeedleShowsUpToASemitoneBeyondEitherEnd) {
    setupInstrument(InstrumentKind::Violin);
    updateDial(frequencyOf(3.0 - 0.07), true);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_LT(dialState().readingAngle, 0);
    updateDial(frequencyOf(6.0 + 0.07), true);
    EXPECT_EQ(dialState().reading, DialReading::Needle);
    EXPECT_GT(dialState().readingAngle, 3072);
    updateDial(frequencyOf(6.0 + 0.09), true);
    EXPECT_EQ(dialState().reading, DialReading::High);
}

TEST_F(DialNeedleTest, WithoutTheStableFlagOnlyTheMarkerIsDrawn) {
    setupInstrument(InstrumentKind::Guitar);
    listPeriod(200.0f);  // 110.25 Hz, near A 2
    updateDial(300.0f, false);
    EXPECT_EQ(dialState().reading, DialReading::None);
    EXPECT_GT(count(blue), 0);
    EXPECT_EQ(count(green), 0);
    EXPECT_EQ(count(yellow), 0);
    // The marker's disc is where the listed period's pitch lies.
    int32_t x, y;
    dialPoint(angleIndex(pitchPositionFromFrequency(22050.0f / 200.0f)), 0, x, y);
    EXPECT_EQ(ink(x, y), blue);
}

TEST_F(DialNeedleTest, NoListedPeriodNoMarker) {
    setupInstrument(InstrumentKind::Guitar);
    updateDial(22050.0f, false);
    EXPECT_TRUE(inkPixels().empty());
}

TEST_F(DialNeedleTest, MarkerOffTheDialIsNotDrawn) {
    setupInstrument(InstrumentKind::Violin);  // from C3
    listPeriod(200.0f);                       // 110 Hz: below the dial
    updateDial(440.0f, false);
    EXPECT_TRUE(inkPixels().empty());
}

TEST_F(DialNeedleTest, HighlightCircleOncePerNewlyListedPeriod) {
    setupInstrument(InstrumentKind::Guitar);
    listPeriod(200.0f);
    const float frequency = 22050.0f / 200.0f;
    updateDial(frequency, true);
    int32_t x, y;
    dialPoint(angleIndex(pitchPositionFromFrequency(frequency)), 0, x, y);
    EXPECT_EQ(ink(x + 12, y), yellow);  // circle of radius 12 round the needle's disc
    EXPECT_EQ(ink(x, y), green);        // the needle covers the marker at the same pitch
    EXPECT_EQ(dialState().lastMarkedPeriod, 200.0f);
    EXPECT_EQ(displayState().inkColour, yellow);  // left at the last colour set

    resetLayers();
    updateDial(frequency, true);  // same listed period: no circle
    EXPECT_EQ(count(yellow), 0);
    EXPECT_GT(count(green), 0);
    EXPECT_EQ(displayState().inkColour, green);

    listPeriod(150.0f);
    resetLayers();
    updateDial(frequency, true);  // a new period: the circle again
    EXPECT_GT(count(yellow), 0);
    EXPECT_EQ(dialState().lastMarkedPeriod, 150.0f);
}

TEST_F(DialNeedleTest, ModeChangeKeepsTheLastMarkedPeriod) {
    setupInstrument(InstrumentKind::Guitar);
    listPeriod(200.0f);
    updateDial(110.0f, true);
    setupInstrument(InstrumentKind::Cello);
    updateDial(110.0f, true);
    EXPECT_EQ(count(yellow), 0);
}

}  // namespace
}  // namespace veldra

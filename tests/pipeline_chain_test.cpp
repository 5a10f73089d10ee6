// The whole chain on the headless screen: a plucked A string, 10 cents sharp, fed block
// by block from start-up; after a second of it the screen must show the printed spiral,
// Guitar's string rings and the needle at the string's pitch.
//
// Set VELDRA_DIAL_PNG to a file name to keep the final screen as a PNG picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/block_pipeline.h"
#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "app/bmp_decoder.h"
#include "app/resources.h"
#include "display/display.h"
#include "platform/headless_screen.h"
#include "platform/headless_window.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr uint16_t printedOrange = rgb565(206, 99, 0);
constexpr uint16_t ringColour = 0xFBE0;
constexpr uint16_t needleGreen = 0x5FEB;
constexpr uint16_t traceViolet = 0xF0FF;
constexpr int32_t plotTop = 26;  // screen row of the drawing area's row 0

// A plucked string: harmonics falling off as 1/k, the higher ones dying away faster, with
// a 4 ms attack so that the pluck does not click.
std::vector<int16_t> pluckedString(double frequency, double seconds) {
    std::vector<int16_t> samples(static_cast<size_t>(seconds * 22050.0));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = i / 22050.0;
        double v = 0.0;
        for (int k = 1; k <= 10; ++k) {
            v += std::exp(-t * (0.8 + 0.5 * k)) / k *
                 std::sin(2.0 * std::numbers::pi * k * frequency * t + 0.7 * k);
        }
        samples[i] = static_cast<int16_t>(12000.0 * std::min(1.0, t / 0.004) * v);
    }
    return samples;
}

class PipelineChainTest : public ::testing::Test {
protected:
    // The program's start-up and first paint, in their order.
    void SetUp() override {
        resetDisplay();
        window.place(startupWindowRect);
        ASSERT_TRUE(openDisplay(window));
        ASSERT_TRUE(prepareDisplay(window, 0, 26, 240, 268));
        resetBlockPipeline();
        ASSERT_TRUE(setRefreshDivisor(10));
        resetTrace();
        setTraceOrigin(117, 128, 10);
        setTraceAutoDelay(true);
        resetDial();
        setDialGeometry(120, 128, 40, 106);
        const Bitmap background = loadBitmapResource(backgroundResource);
        ASSERT_NE(background.pixels, nullptr);
        captureBackground(window, background);
        setupInstrument(InstrumentKind::Guitar);
        resetDetector();
        resetValidator();
        setAnalysisRate(22050);
    }
    void TearDown() override {
        closeDisplay();
        resetDisplay();
    }

    // The screen pixel under drawing-area point (x, y).
    uint16_t shown(int32_t x, int32_t y) const { return screen.pixel(x, y + plotTop); }
    bool shownNear(int32_t x, int32_t y, uint16_t colour, int32_t reach) const {
        for (int32_t dy = -reach; dy <= reach; ++dy)
            for (int32_t dx = -reach; dx <= reach; ++dx)
                if (shown(x + dx, y + dy) == colour) return true;
        return false;
    }

    HeadlessScreen screen;
    HeadlessWindow window{screen};
};

TEST_F(PipelineChainTest, ASecondOfASharpAStringShowsTheNeedleInItsRing) {
    const double frequency = 110.0 * std::pow(2.0, 10.0 / 1200.0);
    const auto sound = pluckedString(frequency, 1.01);
    int32_t refreshes = 0;
    for (size_t at = 0; at + 220 <= sound.size(); at += 220) {
        const int32_t before = pipelineState().dialRefreshes;
        analyzeBlock(&sound[at], 220, false);
        if (pipelineState().dialRefreshes != before) ++refreshes;
    }
    EXPECT_EQ(refreshes, 10);  // blocks 11, 21, ..., 101

    if (const char* path = std::getenv("VELDRA_DIAL_PNG")) {
        std::string error;
        EXPECT_TRUE(screen.writePng(path, error)) << error;
    }

    // The needle: at the angle of the string's pitch position, within 1.2 cents a unit.
    const DialState& dial = dialState();
    ASSERT_EQ(dial.reading, DialReading::Needle);
    const double position = std::log2(frequency / 16.3515625);
    const double expectedAngle = (position - dial.lowOctave) * 1024.0;
    EXPECT_NEAR(dial.readingAngle, expectedAngle, 2.0);
    EXPECT_GT(dial.readingAngle, static_cast<int32_t>((2.75 - 2.0) * 1024.0));  // sharp of A 2

    // Its disc shows through the hole of the A string's ring, and the ring round it.
    int32_t needleX, needleY;
    dialPoint(dial.readingAngle, 0, needleX, needleY);
    EXPECT_EQ(shown(needleX, needleY), needleGreen);
    int32_t ringX, ringY;
    dialPoint(angleIndex(dial.stringPositions[1]), 0, ringX, ringY);
    EXPECT_LE(std::hypot(needleX - ringX, needleY - ringY), 4.0);
    EXPECT_EQ(shown(ringX - 6, ringY), ringColour);

    // Every other string's ring, with its empty hole over the printed line.
    for (int32_t i : {0, 2, 3, 4, 5}) {
        int32_t x, y;
        dialPoint(angleIndex(dial.stringPositions[i]), 0, x, y);
        SCOPED_TRACE(i);
        EXPECT_EQ(shown(x + 7, y), ringColour);
        EXPECT_EQ(shown(x, y), 0);
    }

    // The printed spiral away from the rings: half-way round the second turn.
    int32_t x, y;
    dialPoint(1536, 0, x, y);
    EXPECT_TRUE(shownNear(x, y, printedOrange, 1));
    // The trace of the last block, unfaded: this frame was composed after drawing it.
    EXPECT_TRUE(shownNear(117, 128, traceViolet, 32));
}

}  // namespace
}  // namespace veldra

// The whole chain on the headless screen: a plucked A string, 10 cents sharp, fed block
// by block from start-up; after a second of it the screen must show the printed spiral,
// Guitar's string rings and the needle at the string's pitch.
//
// Set VELDRA_DIAL_PNG to a file name to keep the final screen as a PNG picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "app/bmp_decoder.h"
#include "app/resources.h"
#include "display/display.h"
#include "platform/screen/headless_screen.h"
#include "platform/screen/headless_window.h"
#include "tests/support/tuner_setup.h"
#include "tuner/block_pipeline.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

TEST(PipelineChainTest, ASecondOfASharpAStringShowsTheNeedleInItsRing) {
    // The program's start-up and first paint, in their order.
    startTunerModules();
    HeadlessScreen screen;
    HeadlessWindow window{screen, startupWindowRect};
    ASSERT_TRUE(openDisplay(window));
    ASSERT_TRUE(prepareDisplay(window, 0, 26, 240, 268));
    captureBackground(window, loadBitmapResource(backgroundResource));
    setupInstrument(InstrumentKind::Guitar);

    const double frequency = 110.0 * std::pow(2.0, 10.0 / 1200.0);
    const auto sound = pluckedString(frequency, 1.01);
    for (size_t at = 0; at + 220 <= sound.size(); at += 220)
        analyzeBlock(&sound[at], 220, false);
    EXPECT_EQ(pipelineState().dialRefreshes, 10);  // blocks 11, 21, ..., 101
    if (const char* path = std::getenv("VELDRA_DIAL_PNG")) {
        std::string error;
        EXPECT_TRUE(screen.writePng(path, error)) << error;
    }
    const auto shown = [&](int32_t x, int32_t y) {
        return screen.pixel(x, y + 26);
    };  // drawing-area point
    const auto shownNear = [&](int32_t x, int32_t y, uint16_t colour, int32_t reach) {
        for (int32_t dy = -reach; dy <= reach; ++dy)
            for (int32_t dx = -reach; dx <= reach; ++dx)
                if (shown(x + dx, y + dy) == colour) return true;
        return false;
    };
    const auto point = [](int32_t a) {
        int32_t x, y;
        dialPoint(a, 0, x, y);
        return std::pair(x, y);
    };

    // The needle: at the angle of the string's pitch position, within 1.2 cents a unit.
    const DialState& dial = dialState();
    ASSERT_EQ(dial.reading, DialReading::Needle);
    EXPECT_NEAR(dial.readingAngle, (std::log2(frequency / 16.3515625) - dial.lowOctave) * 1024.0,
                2.0);
    EXPECT_GT(dial.readingAngle, static_cast<int32_t>((2.75 - 2.0) * 1024.0));  // sharp of A 2
    // Its disc shows through the hole of the A string's ring, and the ring round it.
    const auto [needleX, needleY] = point(dial.readingAngle);
    EXPECT_EQ(shown(needleX, needleY), 0x5FEB);
    const auto [ringX, ringY] = point(angleIndex(dial.stringPositions[1]));
    EXPECT_LE(std::hypot(needleX - ringX, needleY - ringY), 4.0);
    EXPECT_EQ(shown(ringX - 6, ringY), 0xFBE0);
    // Every other string's ring, with its empty hole over the printed line.
    for (int32_t i : {0, 2, 3, 4, 5}) {
        const auto [x, y] = point(angleIndex(dial.stringPositions[i]));
        EXPECT_EQ(shown(x + 7, y), 0xFBE0) << i;
        EXPECT_EQ(shown(x, y), 0) << i;
    }
    // The printed orange spiral away from the rings, half-way round the second turn; the
    // violet trace of the last block, unfaded: this frame was composed after drawing it.
    const auto [x, y] = point(1536);
    EXPECT_TRUE(shownNear(x, y, rgb565(206, 99, 0), 1));
    EXPECT_TRUE(shownNear(117, 128, 0xF0FF, 32));
    closeDisplay();
    resetDisplay();
}

}  // namespace
}  // namespace veldra

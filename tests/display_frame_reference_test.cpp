// The frame path against plain per-pixel loops: composition and the copy to display
// memory on random layers in every memory layout, and both fade formulas over every
// RGB565 value, channel by channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "display/display.h"
#include "platform/headless_screen.h"
#include "platform/headless_window.h"

namespace veldra {
namespace {

struct Channels {
    uint32_t r, g, b;
};
Channels split(uint16_t v) { return {uint32_t(v) >> 11, (uint32_t(v) >> 5) & 63, uint32_t(v) & 31}; }
uint16_t join(Channels c) { return static_cast<uint16_t>((c.r << 11) | (c.g << 5) | c.b); }

// Each channel loses a quarter, rounded down.
uint16_t quarterByChannel(uint16_t v) {
    const Channels c = split(v);
    return join({c.r - (c.r >> 2), c.g - (c.g >> 2), c.b - (c.b >> 2)});
}

// Red and blue lose 1 unless 0, green loses 1 unless its low five bits are 0; then each
// channel's top bit goes. (Red and blue: 1-16 become 0-15, 17-31 become 0-14; green:
// 1-31 become 0-30, 32 and 33 become 0, 34-63 become 1-30.)
uint16_t stepByChannel(uint16_t v) {
    const Channels c = split(v);
    const uint32_t r = c.r != 0 ? c.r - 1 : 0;
    const uint32_t g = (c.g & 31) != 0 ? c.g - 1 : c.g;
    const uint32_t b = c.b != 0 ? c.b - 1 : 0;
    return join({r & 15, g & 31, b & 15});
}

class FrameReferenceTest : public ::testing::Test {
protected:
    void SetUp() override { resetDisplay(); }
    void TearDown() override { resetDisplay(); }  // the screens die with their test
    std::mt19937 random{20240607};
    uint16_t anyPixel() { return static_cast<uint16_t>(random()); }
};

TEST_F(FrameReferenceTest, BothFadeFormulasOnEveryPixelValueInThePlotRows) {
    ASSERT_TRUE(setPlotWindow(0, 0, 240, 300));  // 72000 pixels: every value at least once
    for (const auto formula : {quarterByChannel, stepByChannel}) {
        for (int32_t p = 0; p < 240 * 320; ++p) InkLayer.pixels[p] = static_cast<uint16_t>(p);
        while (InkLayer.pixels[0xFFFF] == 0xFFFF) fadeInk();  // quarter first, then step
        for (int32_t p = 0; p < 240 * 320; ++p) {
            const auto v = static_cast<uint16_t>(p);
            ASSERT_EQ(InkLayer.pixels[p], p < 240 * 300 ? formula(v) : v) << p;
        }
    }
}

TEST_F(FrameReferenceTest, ComposeAndCopyInEveryLayout) {
    struct Layout {
        const char* name;
        int32_t xPitchBytes, yPitchBytes;  // 0, 0: the fixed-frame-buffer model
    };
    const Layout layouts[] = {{"row-major", 2, 480},      {"mirrored", -2, 480},
                              {"upside down", 2, -480},  {"both flipped", -2, -480},
                              {"padded", 4, 1024},       {"column-major", 640, 2},
                              {"fixed model", 0, 0}};
    const PlotWindow plots[] = {{0, 26, 240, 268}, {8, 3, 200, 300}, {0, 0, 240, 320},
                                {100, 100, 1, 1},  {0, 319, 240, 1}};
    for (const Layout& layout : layouts) {
        for (const PlotWindow& plot : plots) {
            SCOPED_TRACE(testing::Message() << layout.name << " plot " << plot.left << ","
                                            << plot.top << " " << plot.width << "x" << plot.height);
            resetDisplay();
            HeadlessScreen screen;
            HeadlessWindow window(screen, startupWindowRect);
            if (layout.xPitchBytes == 0) {
                screen.emulateFixedFrameBuffer();
            } else {
                screen.setPitches(layout.xPitchBytes, layout.yPitchBytes);
            }
            ASSERT_TRUE(openDisplay(window));
            ASSERT_TRUE(prepareDisplay(window, plot.left, plot.top, plot.width, plot.height));
            for (int32_t p = 0; p < 240 * 320; ++p) {
                ScaleLayer.pixels[p] = random() % 2 ? 0 : anyPixel();
                InkLayer.pixels[p] = anyPixel();
            }
            screen.fill(0x5555);
            std::vector<uint16_t> ink(InkLayer.pixels, InkLayer.pixels + 240 * 320);
            for (int32_t p = 240 * plot.height - 1; p >= 0; --p) {
                if (ScaleLayer.pixels[p] != 0) ink[p] = ScaleLayer.pixels[p];
            }
            std::vector<uint16_t> shown(240 * 320, 0x5555);
            for (int32_t i = 0; i < plot.height; ++i) {
                for (int32_t j = plot.left; j < plot.left + plot.width; ++j) {
                    shown[(plot.top + i) * 240 + j] = ink[i * 240 + j];
                }
            }
            presentFrame();
            ASSERT_TRUE(std::equal(ink.begin(), ink.end(), InkLayer.pixels));
            ASSERT_EQ(screen.snapshot(), shown);
            closeDisplay();
        }
    }
}

}  // namespace
}  // namespace veldra

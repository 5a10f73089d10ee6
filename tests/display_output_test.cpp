// The display device on the headless screen: the refused displays, and the frame path
// against plain per-pixel loops in every memory layout. (Suspension: pipeline_refresh_test
// and app_test; opening for real: the end-to-end test.)
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "display/display.h"
#include "platform/screen/headless_screen.h"
#include "platform/screen/headless_window.h"

namespace veldra {
namespace {

// ---- The refused displays.

// Odd pitches, a zero pitch, another bit depth, a failing open: each says why in a
// "Graphics" box (style 48) owned by the window, and closes what it opened.
TEST(OutputTest, RefusedDisplaysSayWhyAndCloseAgain) {
    resetDisplay();
    const std::tuple<void (*)(HeadlessScreen&), const char*, int32_t> cases[] = {
        {[](HeadlessScreen& s) { s.setOpenFails(true); }, "Cannot open to full screen mode", 0},
        {[](HeadlessScreen& s) { s.setBitsPerPixel(32); }, "Support only 16 bit pixel format.", 1},
        {[](HeadlessScreen& s) { s.setPitches(-1, 480); }, "Unsupported display offset.", 1},
        {[](HeadlessScreen& s) { s.setPitches(2, 0); }, "Unsupported display offset.", 1},
    };
    for (const auto& [setUp, message, closes] : cases) {
        SCOPED_TRACE(message);
        HeadlessScreen refusing;
        HeadlessWindow owner(refusing, startupWindowRect);
        setUp(refusing);
        EXPECT_FALSE(openDisplay(owner));
        ASSERT_EQ(refusing.messageBoxes().size(), 1u);
        const HeadlessScreen::MessageBoxCall& box = refusing.messageBoxes()[0];
        EXPECT_EQ(std::tie(box.owner, box.text, box.caption, box.style),
                  std::tuple(&owner, message, "Graphics", 48u));
        EXPECT_EQ(refusing.closeCalls(), closes);
        EXPECT_FALSE(refusing.isOpen() || displayState().displayOpen);
    }
}

// ---- The frame path against a plain per-pixel loop: composition and the copy to display
// memory on random layers in every memory layout. (The fade formulas from white:
// display_drawing_test.)

class FrameReferenceTest : public ::testing::Test {
  protected:
    void SetUp() override { resetDisplay(); }
    void TearDown() override { resetDisplay(); }  // the screens die with their test
    std::mt19937 random{20240607};
    uint16_t anyPixel() { return static_cast<uint16_t>(random()); }
};

// The opaque scale covers the ink, and the frame is composed in the ink layer itself;
// only the plot window reaches the screen.
TEST_F(FrameReferenceTest, ComposeAndCopyInEveryLayout) {
    struct Layout {
        const char* name;
        int32_t xPitchBytes, yPitchBytes;  // 0, 0: the fixed-frame-buffer model
    };
    const Layout layouts[] = {{"row-major", 2, 480},    {"mirrored", -2, 480},
                              {"upside down", 2, -480}, {"both flipped", -2, -480},
                              {"padded", 4, 1024},      {"column-major", 640, 2},
                              {"fixed model", 0, 0}};
    const PlotWindow plots[] = {
        {0, 26, 240, 268}, {8, 3, 200, 300}, {0, 0, 240, 320}, {100, 100, 1, 1}, {0, 319, 240, 1}};
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

// The display device on the headless screen: opening and the refused displays, the
// fixed-frame-buffer model, composition rules, skipped frames, suspension, closing and
// the background capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "display/display.h"
#include "platform/headless_screen.h"
#include "platform/headless_window.h"

namespace veldra {
namespace {

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override { resetDisplay(); }
    void TearDown() override { resetDisplay(); }  // some screens die with their test
    void start() {
        ASSERT_TRUE(openDisplay(window));
        ASSERT_TRUE(prepareDisplay(window, 0, 26, 240, 268));
    }
    static void pattern(Surface& layer) {
        for (int32_t p = 0; p < 240 * 320; ++p) layer.pixels[p] = static_cast<uint16_t>(p * 31 | 1);
    }
    HeadlessScreen screen;
    HeadlessWindow window{screen, startupWindowRect};
};

TEST_F(OutputTest, OpensTheScreenOfItsWindow) {
    screen.setPitches(-2, -481);  // halving truncates toward zero: negative stays negative
    screen.setOemInfo(u"abcdefghijklH38");
    screen.setOemInfoFails(true);  // a failed query means another model
    start();
    const DisplayState& d = displayState();
    EXPECT_TRUE(d.displayOpen && screen.isOpen() && d.screen == &screen);
    EXPECT_EQ(screen.viewportHeight(), 320);
    EXPECT_EQ(std::tuple(d.fixedFrameBuffer, d.xPitch, d.yPitch, d.windowTop), std::tuple(false, -1, -240, 26));
    EXPECT_EQ(cos1024(0), 1024);  // prepared: trig tables built
    EXPECT_TRUE(screen.messageBoxes().empty());
}

TEST_F(OutputTest, RefusedDisplaysSayWhyAndCloseAgain) {
    const struct {
        void (*setUp)(HeadlessScreen&);
        const char* message;
        int32_t closes;
    } cases[] = {
        {[](HeadlessScreen& s) { s.setOpenFails(true); }, "Cannot open to full screen mode", 0},
        {[](HeadlessScreen& s) { s.setBitsPerPixel(8); }, "Support only 16 bit pixel format.", 1},
        {[](HeadlessScreen& s) { s.setBitsPerPixel(32); }, "Support only 16 bit pixel format.", 1},
        {[](HeadlessScreen& s) { s.setPitches(1, 480); }, "Unsupported display offset.", 1},   // odd
        {[](HeadlessScreen& s) { s.setPitches(-1, 480); }, "Unsupported display offset.", 1},
        {[](HeadlessScreen& s) { s.setPitches(2, 0); }, "Unsupported display offset.", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        HeadlessScreen refusing;
        HeadlessWindow owner(refusing, startupWindowRect);
        c.setUp(refusing);
        EXPECT_FALSE(openDisplay(owner));
        ASSERT_EQ(refusing.messageBoxes().size(), 1u);
        const HeadlessScreen::MessageBoxCall& box = refusing.messageBoxes()[0];
        EXPECT_EQ(std::tie(box.text, box.caption, box.style), std::tuple(c.message, "Graphics", 48u));
        EXPECT_EQ(box.owner, &owner);
        EXPECT_EQ(refusing.closeCalls(), c.closes);
        EXPECT_FALSE(refusing.isOpen() || displayState().displayOpen);
    }
}

TEST_F(OutputTest, FixedFrameBufferModelIsWrittenDirectly) {
    screen.emulateFixedFrameBuffer();  // OEM text with H38 at characters 12-14
    start();
    EXPECT_EQ(std::tuple(displayState().fixedFrameBuffer, displayState().xPitch, displayState().yPitch),
              std::tuple(true, -320, 1));
    pattern(ScaleLayer);
    presentFrame();
    EXPECT_EQ(screen.beginDrawCalls() + screen.endDrawCalls(), 0);
    // Screen pixel (x, y) sits at base + y - 320 x: 2 (y - 320 x) bytes from the base.
    const uint16_t* base = screen.fixedFrameBuffer();
    for (auto [x, y] : {std::pair{0, 26}, std::pair{239, 26}, std::pair{239, 293}, std::pair{117, 150}}) {
        EXPECT_EQ(base[y - 320 * x], ScaleLayer.pixels[(y - 26) * 240 + x]) << x << "," << y;
    }
}

TEST_F(OutputTest, ScaleCoversInkAndErasedScaleLetsInkThrough) {
    start();
    std::fill(BackgroundLayer.pixels, BackgroundLayer.pixels + 240 * 320, 0x0841);
    resetLayers();
    drawRing(PenInk, 100, 100, 0, 10);        // under the opaque scale: never shown
    drawRing(PenScaleErase, 50, 100, 0, 10);  // a hole in the scale...
    drawRing(PenInk, 50, 100, 0, 10);         // ...with ink in it
    presentFrame();
    EXPECT_EQ(screen.pixel(100, 126), 0x0841);
    EXPECT_EQ(screen.pixel(50, 126), 0xFFFF);
    EXPECT_EQ(screen.pixel(70, 126), 0x0841);
    EXPECT_EQ(InkLayer.pixels[100 * 240 + 100], 0x0841);  // the frame is composed in the ink
    for (int32_t i = 0; i < 5; ++i) fadeInk();
    presentFrame();
    EXPECT_EQ(screen.pixel(100, 126), 0x0841);  // the scale comes back bright
    EXPECT_NE(screen.pixel(50, 126), 0xFFFF);   // the ink stays faded
}

TEST_F(OutputTest, NoMemoryMeansNoFrameAndNoEndDraw) {
    start();
    pattern(ScaleLayer);
    const std::vector<uint16_t> ink(InkLayer.pixels, InkLayer.pixels + 240 * 320);
    screen.setBeginDrawFails(true);
    presentFrame();
    EXPECT_EQ(screen.beginDrawCalls(), 1);
    EXPECT_EQ(screen.endDrawCalls(), 0);
    EXPECT_EQ(screen.pixel(10, 100), 0);
    EXPECT_TRUE(std::equal(ink.begin(), ink.end(), InkLayer.pixels));  // nothing composed
}

TEST_F(OutputTest, NothingIsShownWhileSuspendedOrClosed) {
    start();
    pattern(ScaleLayer);
    suspendDrawing();
    EXPECT_TRUE(isDrawingSuspended());
    presentFrame();
    captureBackground(window, Bitmap{1, 1, ScaleLayer.pixels});
    EXPECT_EQ(screen.pixel(10, 100), 0);
    EXPECT_EQ(screen.beginDrawCalls(), 0);
    resumeDrawing();
    presentFrame();
    EXPECT_EQ(screen.pixel(10, 100), ScaleLayer.pixels[74 * 240 + 10]);
    EXPECT_EQ(closeDisplay(), 0);
    screen.fill(0);
    presentFrame();
    EXPECT_EQ(screen.pixel(10, 100), 0);
    closeDisplay();
    EXPECT_EQ(screen.closeCalls(), 1);  // closing a closed display leaves the screen alone
}

TEST_F(OutputTest, BackgroundIsPaintedIntoTheWindowAndCapturedFromTheScreen) {
    screen.setPitches(-2, 512);  // mirrored rows with padding: capture follows the layout
    start();
    std::vector<uint16_t> picture(240 * 268);
    for (size_t p = 0; p < picture.size(); ++p) picture[p] = static_cast<uint16_t>(p * 13 + 1);
    screen.fill(0x3333);
    captureBackground(window, Bitmap{240, 268, picture.data()});
    EXPECT_EQ(window.contextsOut(), 0);
    EXPECT_EQ(screen.pixel(0, 25), 0x3333);
    EXPECT_EQ(screen.pixel(0, 26), picture[0]);
    EXPECT_EQ(screen.pixel(239, 293), picture.back());
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), BackgroundLayer.pixels));
}

}  // namespace
}  // namespace veldra

// The display device on the headless screen: opening (and the refused displays), the
// background capture, composition rules, the copy to display memory in each memory
// layout, skipped frames, suspension and closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "display/display.h"
#include "platform/headless_screen.h"
#include "platform/headless_window.h"

namespace veldra {
namespace {

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetDisplay();
        window.place(startupWindowRect);
    }
    void TearDown() override { closeDisplay(); }
    void start() {
        ASSERT_TRUE(openDisplay(window));
        ASSERT_TRUE(prepareDisplay(window, 0, 26, 240, 268));
    }
    // Fills a layer's plot rows with a pattern that differs per pixel and is never 0.
    static void pattern(Surface& layer, uint16_t salt) {
        for (int32_t p = 0; p < 240 * 320; ++p) {
            layer.pixels[p] = static_cast<uint16_t>(((p * 31 + salt) | 1) & 0xFFFF);
        }
    }
    HeadlessScreen screen;
    HeadlessWindow window{screen};
};

TEST_F(OutputTest, OpensTheScreenOfItsWindowFullScreen) {
    start();
    EXPECT_TRUE(displayState().displayOpen);
    EXPECT_EQ(displayState().screen, &screen);
    EXPECT_TRUE(screen.isOpen());
    EXPECT_EQ(screen.viewportTop(), 0);
    EXPECT_EQ(screen.viewportHeight(), 320);
    EXPECT_FALSE(displayState().fixedFrameBuffer);
    EXPECT_EQ(displayState().xPitch, 1);
    EXPECT_EQ(displayState().yPitch, 240);
    EXPECT_EQ(displayState().windowTop, 26);
    EXPECT_EQ(cos1024(0), 1024);  // trig tables built
    EXPECT_TRUE(screen.messageBoxes().empty());
}

TEST_F(OutputTest, RefusedDisplaysSayWhyAndCloseAgain) {
    struct Case {
        const char* name;
        void (*setUp)(HeadlessScreen&);
        const char* message;
        int32_t closes;
    };
    const Case cases[] = {
        {"open fails", [](HeadlessScreen& s) { s.setOpenFails(true); },
         "Cannot open to full screen mode", 0},
        {"8 bits", [](HeadlessScreen& s) { s.setBitsPerPixel(8); },
         "Support only 16 bit pixel format.", 1},
        {"32 bits", [](HeadlessScreen& s) { s.setBitsPerPixel(32); },
         "Support only 16 bit pixel format.", 1},
        {"x pitch 1", [](HeadlessScreen& s) { s.setPitches(1, 480); },
         "Unsupported display offset.", 1},
        {"x pitch -1", [](HeadlessScreen& s) { s.setPitches(-1, 480); },
         "Unsupported display offset.", 1},
        {"y pitch 1", [](HeadlessScreen& s) { s.setPitches(2, 1); },
         "Unsupported display offset.", 1},
        {"y pitch 0", [](HeadlessScreen& s) { s.setPitches(2, 0); },
         "Unsupported display offset.", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetDisplay();
        HeadlessScreen refusing;
        HeadlessWindow owner(refusing, startupWindowRect);
        c.setUp(refusing);
        EXPECT_FALSE(openDisplay(owner));
        ASSERT_EQ(refusing.messageBoxes().size(), 1u);
        const HeadlessScreen::MessageBoxCall& box = refusing.messageBoxes()[0];
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.caption, "Graphics");
        EXPECT_EQ(box.style, 48u);
        EXPECT_EQ(box.owner, &owner);
        EXPECT_EQ(refusing.closeCalls(), c.closes);
        EXPECT_FALSE(refusing.isOpen());
        EXPECT_FALSE(displayState().displayOpen);
        EXPECT_EQ(displayState().screen, nullptr);
    }
}

TEST_F(OutputTest, NegativePitchesStayNegative) {
    screen.setPitches(-2, -480);
    start();
    EXPECT_EQ(displayState().xPitch, -1);
    EXPECT_EQ(displayState().yPitch, -240);
    screen.setPitches(3, -481);  // halving truncates toward zero
    closeDisplay();
    start();
    EXPECT_EQ(displayState().xPitch, 1);
    EXPECT_EQ(displayState().yPitch, -240);
}

TEST_F(OutputTest, FixedFrameBufferModelIsWrittenDirectlyOnTheRotatedMemory) {
    screen.emulateFixedFrameBuffer();
    start();
    EXPECT_TRUE(displayState().fixedFrameBuffer);
    EXPECT_EQ(displayState().xPitch, -320);
    EXPECT_EQ(displayState().yPitch, 1);
    pattern(ScaleLayer, 5);
    presentFrame();
    EXPECT_EQ(screen.beginDrawCalls(), 0);
    EXPECT_EQ(screen.endDrawCalls(), 0);
    // Screen pixel (x, y) sits at base + y - 320 x: 2 * (y - 320 x) bytes from the base.
    const uint16_t* base = screen.fixedFrameBuffer();
    for (auto [x, y] : {std::pair{0, 26}, std::pair{239, 26}, std::pair{0, 293},
                        std::pair{239, 293}, std::pair{117, 150}}) {
        EXPECT_EQ(base[y - 320 * x], ScaleLayer.pixels[(y - 26) * 240 + x]) << x << "," << y;
    }
}

TEST_F(OutputTest, OnlyTheMarkedModelIsTheFixedOne) {
    const std::u16string marked = u"abcdefghijklH38";
    for (auto [text, fixed] : {std::pair{marked, true}, std::pair{std::u16string(u"abcdefghijklH39"), false},
                               std::pair{std::u16string(u"abcdefghijkH38"), false},
                               std::pair{std::u16string(u"H38"), false}}) {
        resetDisplay();
        HeadlessScreen other;
        HeadlessWindow owner(other, startupWindowRect);
        other.setOemInfo(text);
        ASSERT_TRUE(openDisplay(owner));
        EXPECT_EQ(displayState().fixedFrameBuffer, fixed);
    }
    resetDisplay();
    HeadlessScreen failing;
    HeadlessWindow owner(failing, startupWindowRect);
    failing.setOemInfo(marked);
    failing.setOemInfoFails(true);
    ASSERT_TRUE(openDisplay(owner));
    EXPECT_FALSE(displayState().fixedFrameBuffer);
}

TEST_F(OutputTest, ScaleCoversInkAndErasedScaleLetsInkThrough) {
    start();
    for (int32_t p = 0; p < 240 * 320; ++p) BackgroundLayer.pixels[p] = 0x0841;
    resetLayers();
    drawRing(PenInk, 100, 100, 0, 10);           // under the opaque scale: never shown
    drawRing(PenScaleErase, 50, 100, 0, 10);     // a hole in the scale...
    drawRing(PenInk, 50, 100, 0, 10);            // ...with ink in it
    presentFrame();
    EXPECT_EQ(screen.pixel(100, 126), 0x0841);
    EXPECT_EQ(screen.pixel(50, 126), 0xFFFF);
    EXPECT_EQ(screen.pixel(70, 126), 0x0841);
    // The composed frame stays in the ink layer, and the next frame restores the scale
    // there even after the ink faded it.
    EXPECT_EQ(InkLayer.pixels[100 * 240 + 100], 0x0841);
    for (int32_t i = 0; i < 5; ++i) fadeInk();
    EXPECT_NE(InkLayer.pixels[100 * 240 + 100], 0x0841);
    presentFrame();
    EXPECT_EQ(screen.pixel(100, 126), 0x0841);
    EXPECT_NE(screen.pixel(50, 126), 0xFFFF);  // the ink has faded
}

TEST_F(OutputTest, FrameCoversThePlotWindowRowsOnly) {
    start();
    screen.fill(0x1111);
    pattern(ScaleLayer, 9);
    presentFrame();
    for (int32_t x = 0; x < 240; x += 17) {
        EXPECT_EQ(screen.pixel(x, 25), 0x1111);
        EXPECT_EQ(screen.pixel(x, 26), ScaleLayer.pixels[x]);
        EXPECT_EQ(screen.pixel(x, 293), ScaleLayer.pixels[267 * 240 + x]);
        EXPECT_EQ(screen.pixel(x, 294), 0x1111);
    }
    EXPECT_EQ(screen.beginDrawCalls(), 1);
    EXPECT_EQ(screen.endDrawCalls(), 1);
}

TEST_F(OutputTest, PlotColumnsGoToTheSameScreenColumns) {
    start();
    ASSERT_TRUE(setPlotWindow(16, 40, 200, 100));
    screen.fill(0x1111);
    pattern(ScaleLayer, 3);
    presentFrame();
    EXPECT_EQ(screen.pixel(15, 40), 0x1111);
    EXPECT_EQ(screen.pixel(16, 40), ScaleLayer.pixels[16]);
    EXPECT_EQ(screen.pixel(215, 139), ScaleLayer.pixels[99 * 240 + 215]);
    EXPECT_EQ(screen.pixel(216, 139), 0x1111);
}

TEST_F(OutputTest, NoMemoryNoFrame) {
    start();
    pattern(ScaleLayer, 1);
    std::vector<uint16_t> ink(InkLayer.pixels, InkLayer.pixels + 240 * 320);
    screen.setBeginDrawFails(true);
    screen.fill(0x2222);
    presentFrame();
    EXPECT_EQ(screen.beginDrawCalls(), 1);
    EXPECT_EQ(screen.endDrawCalls(), 0);
    EXPECT_EQ(screen.pixel(10, 100), 0x2222);
    EXPECT_TRUE(std::equal(ink.begin(), ink.end(), InkLayer.pixels));  // nothing composed
}

TEST_F(OutputTest, NothingIsShownWhileSuspendedOrClosed) {
    start();
    pattern(ScaleLayer, 2);
    screen.fill(0x2222);
    suspendDrawing();
    EXPECT_TRUE(isDrawingSuspended());
    presentFrame();
    captureBackground(window, Bitmap{1, 1, ScaleLayer.pixels});
    EXPECT_EQ(screen.pixel(10, 100), 0x2222);
    EXPECT_EQ(screen.beginDrawCalls(), 0);
    // Fading does not look at the suspension: its caller does.
    InkLayer.pixels[0] = 0xFFFF;
    for (int32_t i = 0; i < 3; ++i) fadeInk();
    EXPECT_EQ(InkLayer.pixels[0], 0xC618);
    resumeDrawing();
    EXPECT_FALSE(isDrawingSuspended());
    presentFrame();
    EXPECT_EQ(screen.pixel(10, 100), ScaleLayer.pixels[74 * 240 + 10]);

    EXPECT_EQ(closeDisplay(), 0);
    EXPECT_EQ(screen.closeCalls(), 1);
    screen.fill(0x2222);
    presentFrame();
    EXPECT_EQ(screen.pixel(10, 100), 0x2222);
    closeDisplay();
    EXPECT_EQ(screen.closeCalls(), 1);  // closing a closed display leaves the screen alone
}

TEST_F(OutputTest, BackgroundIsPaintedIntoTheWindowAndCapturedFromTheScreen) {
    start();
    std::vector<uint16_t> picture(240 * 268);
    for (size_t p = 0; p < picture.size(); ++p) picture[p] = static_cast<uint16_t>(p * 13 + 1);
    screen.fill(0x3333);
    captureBackground(window, Bitmap{240, 268, picture.data()});
    EXPECT_EQ(window.contextsOut(), 0);
    EXPECT_EQ(screen.pixel(0, 25), 0x3333);
    EXPECT_EQ(screen.pixel(0, 26), picture[0]);
    EXPECT_EQ(screen.pixel(239, 293), picture.back());
    for (size_t p = 0; p < picture.size(); ++p) {
        ASSERT_EQ(BackgroundLayer.pixels[p], picture[p]) << p;
    }
    resetLayers();
    EXPECT_EQ(ScaleLayer.pixels[240 * 100 + 7], picture[240 * 100 + 7]);
}

TEST_F(OutputTest, CaptureReadsTheLayoutTheScreenHas) {
    screen.setPitches(-2, 512);  // mirrored rows with padding
    start();
    std::vector<uint16_t> picture(240 * 268);
    for (size_t p = 0; p < picture.size(); ++p) picture[p] = static_cast<uint16_t>(p * 7 + 3);
    captureBackground(window, Bitmap{240, 268, picture.data()});
    for (size_t p = 0; p < picture.size(); ++p) {
        ASSERT_EQ(BackgroundLayer.pixels[p], picture[p]) << p;
    }
}

}  // namespace
}  // namespace veldra

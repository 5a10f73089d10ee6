// The display device on the headless screen: opening and the refused displays, the
// fixed-frame-buffer model, composition rules, skipped frames, suspension, closing and
// the background capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
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
        for (int32_t p = 0; p < 240 * 320; ++p) ScaleLayer.pixels[p] = static_cast<uint16_t>(p * 31 | 1);
    }
    static auto pitches() { return std::tuple(displayState().fixedFrameBuffer, displayState().xPitch, displayState().yPitch); }
    HeadlessScreen screen;
    HeadlessWindow window{screen, startupWindowRect};
};

// Pitches in pixels, halved toward zero; the OEM text's H38 only counts when the query
// works. Prepared: full-screen viewport, the window's top, trig tables built.
TEST_F(OutputTest, OpensTheScreenOfItsWindow) {
    screen.setPitches(-2, -481);
    screen.setOemInfo(u"abcdefghijklH38");
    screen.setOemInfoFails(true);
    start();
    EXPECT_TRUE(displayState().displayOpen && screen.isOpen() && displayState().screen == &screen);
    EXPECT_EQ(pitches(), std::tuple(false, -1, -240));
    EXPECT_EQ(std::tuple(screen.viewportHeight(), displayState().windowTop, cos1024(0)), std::tuple(320, 26, 1024));
    EXPECT_TRUE(screen.messageBoxes().empty());
}

// Odd pitches, a zero pitch, another bit depth, a failing open: each says why in a
// "Graphics" box (style 48) owned by the window, and closes what it opened.
TEST_F(OutputTest, RefusedDisplaysSayWhyAndCloseAgain) {
    const std::tuple<void (*)(HeadlessScreen&), const char*, int32_t> cases[] = {
        {[](HeadlessScreen& s) { s.setOpenFails(true); }, "Cannot open to full screen mode", 0},
        {[](HeadlessScreen& s) { s.setBitsPerPixel(8); }, "Support only 16 bit pixel format.", 1},
        {[](HeadlessScreen& s) { s.setBitsPerPixel(32); }, "Support only 16 bit pixel format.", 1},
        {[](HeadlessScreen& s) { s.setPitches(1, 480); }, "Unsupported display offset.", 1},
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
        EXPECT_EQ(std::tie(box.owner, box.text, box.caption, box.style), std::tuple(&owner, message, "Graphics", 48u));
        EXPECT_EQ(refusing.closeCalls(), closes);
        EXPECT_FALSE(refusing.isOpen() || displayState().displayOpen);
    }
}

// Screen pixel (x, y) sits at base + y - 320 x, written without begin-draw and end-draw.
TEST_F(OutputTest, FixedFrameBufferModelIsWrittenDirectly) {
    screen.emulateFixedFrameBuffer();  // OEM text with H38 at characters 12-14
    start();
    EXPECT_EQ(pitches(), std::tuple(true, -320, 1));
    presentFrame();
    EXPECT_EQ(screen.beginDrawCalls() + screen.endDrawCalls(), 0);
    const uint16_t* base = screen.fixedFrameBuffer();
    for (auto [x, y] : {std::pair{0, 26}, std::pair{239, 26}, std::pair{239, 293}, std::pair{117, 150}})
        EXPECT_EQ(base[y - 320 * x], ScaleLayer.pixels[(y - 26) * 240 + x]) << x << "," << y;
}

// Ink under the opaque scale is never shown; pen 2 makes a see-through hole. The frame
// is composed in the ink, so the scale comes back bright after a fade and the ink stays
// faded.
TEST_F(OutputTest, ScaleCoversInkAndErasedScaleLetsInkThrough) {
    start();
    std::fill(BackgroundLayer.pixels, BackgroundLayer.pixels + 240 * 320, 0x0841);
    resetLayers();
    drawRing(PenInk, 100, 100, 0, 10);
    drawRing(PenScaleErase, 50, 100, 0, 10);
    drawRing(PenInk, 50, 100, 0, 10);
    presentFrame();
    EXPECT_EQ(std::tuple(screen.pixel(100, 126), screen.pixel(50, 126), screen.pixel(70, 126)),
              std::tuple(0x0841, 0xFFFF, 0x0841));
    EXPECT_EQ(InkLayer.pixels[100 * 240 + 100], 0x0841);
    for (int32_t i = 0; i < 5; ++i) fadeInk();
    presentFrame();
    EXPECT_EQ(screen.pixel(100, 126), 0x0841);
    EXPECT_NE(screen.pixel(50, 126), 0xFFFF);
}

// No memory from begin-draw: nothing composed and no end-draw. Suspended: nothing shown
// and no background captured; closed: nothing shown, and a second close leaves the
// screen alone.
TEST_F(OutputTest, NothingIsShownWithoutMemoryWhileSuspendedOrClosed) {
    start();
    const std::vector<uint16_t> ink(InkLayer.pixels, InkLayer.pixels + 240 * 320);
    screen.setBeginDrawFails(true);
    presentFrame();
    EXPECT_EQ(std::pair(screen.beginDrawCalls(), screen.endDrawCalls()), std::pair(1, 0));
    EXPECT_TRUE(std::equal(ink.begin(), ink.end(), InkLayer.pixels));
    screen.setBeginDrawFails(false);
    suspendDrawing();
    EXPECT_TRUE(isDrawingSuspended());
    presentFrame();
    captureBackground(window, Bitmap{1, 1, ScaleLayer.pixels});
    EXPECT_EQ(std::tuple(screen.pixel(10, 100), screen.beginDrawCalls()), std::tuple(0, 1));
    resumeDrawing();
    presentFrame();
    EXPECT_EQ(screen.pixel(10, 100), ScaleLayer.pixels[74 * 240 + 10]);
    EXPECT_EQ(closeDisplay(), 0);
    screen.fill(0);
    presentFrame();
    EXPECT_EQ(screen.pixel(10, 100), 0);
    closeDisplay();
    EXPECT_EQ(screen.closeCalls(), 1);
}

// Mirrored rows with padding: the picture is painted into the window's client area, and
// the capture from the screen follows the layout.
TEST_F(OutputTest, BackgroundIsPaintedIntoTheWindowAndCapturedFromTheScreen) {
    screen.setPitches(-2, 512);
    start();
    std::vector<uint16_t> picture(240 * 268);
    for (size_t p = 0; p < picture.size(); ++p) picture[p] = static_cast<uint16_t>(p * 13 + 1);
    screen.fill(0x3333);
    captureBackground(window, Bitmap{240, 268, picture.data()});
    EXPECT_EQ(window.contextsOut(), 0);
    EXPECT_EQ(std::tuple(screen.pixel(0, 25), screen.pixel(0, 26), screen.pixel(239, 293)),
              std::tuple(0x3333, picture[0], picture.back()));
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), BackgroundLayer.pixels));
}

}  // namespace
}  // namespace veldra

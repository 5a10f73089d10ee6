// The shell's bars drawn as a still picture (veldra-file's pictures): the same pixels as
// the window system's chrome, in any memory layout the screen reports.
#include <gtest/gtest.h>

#include "app/chrome_picture.h"
#include "app/resource_script.h"
#include "app/resources.h"
#include "platform/headless_screen.h"
#include "platform/headless_window.h"
#include "platform/window_chrome.h"
#include "support/block_font.h"

namespace veldra {
namespace {

TEST(ChromePictureTest, DrawsTheBarsAsTheProgramShowsThem) {
    const SystemFonts fonts = blockSystemFonts();
    std::vector<uint16_t> expected(240 * 320, 0);
    const PixelCanvas canvas{expected.data(), 1, 240, {0, 0, 240, 320}};
    drawNavigationBar(canvas, fonts, "Veldra -- Cello", false, false);
    const Bitmap image = loadBitmapResource(menuBarImageResource);
    drawMenuBar(canvas, fonts, loadMenuBar(programResources(), menuResource)->buttons, std::span<const Bitmap>(&image, 1), -1);
    setPictureFonts(&fonts);
    for (const int32_t xPitch : {2, -2}) {  // row-major, mirrored
        HeadlessScreen screen;
        HeadlessWindow window(screen);
        ASSERT_TRUE(screen.setPitches(xPitch, 480));
        ASSERT_TRUE(screen.openDisplay(window, fullScreenDisplay));
        drawShellChrome(screen, "Veldra -- Cello");
        EXPECT_EQ(screen.snapshot(), expected) << xPitch;
        EXPECT_EQ(screen.beginDrawCalls(), screen.endDrawCalls());
    }
    setPictureFonts(nullptr);
}

// Without fonts only the bars, no title and no captions; without memory nothing at all.
TEST(ChromePictureTest, WithoutFontsTheBarsComeWithoutTextAndWithoutMemoryNothing) {
    HeadlessScreen screen;
    HeadlessWindow window(screen);
    ASSERT_TRUE(screen.openDisplay(window, fullScreenDisplay));
    drawShellChrome(screen, "Veldra -- Cello");
    EXPECT_EQ(screen.pixel(200, 13), screen.pixel(201, 13));
    EXPECT_EQ(screen.pixel(20, 307), rgb565FromColourRef(chromeFace));  // "Start" without its letters
    HeadlessScreen refusing;
    refusing.setBeginDrawFails(true);
    refusing.fill(0x1234);
    drawShellChrome(refusing, "Veldra -- Cello");
    EXPECT_EQ(refusing.pixel(100, 10), 0x1234);
    EXPECT_EQ(refusing.endDrawCalls(), 0);
}

}  // namespace
}  // namespace veldra

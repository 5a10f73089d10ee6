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
    for (const bool mirrored : {false, true}) {
        HeadlessScreen screen;
        HeadlessWindow window(screen);
        if (mirrored) {
            ASSERT_TRUE(screen.setPitches(-2, 480));
        }
        ASSERT_TRUE(screen.openDisplay(window, fullScreenDisplay));
        drawShellChrome(screen, "Veldra -- Cello");
        int32_t differing = 0;
        for (int32_t y = 0; y < 320; ++y) {
            for (int32_t x = 0; x < 240; ++x) differing += screen.pixel(x, y) != expected[static_cast<size_t>(y * 240 + x)];
        }
        EXPECT_EQ(differing, 0) << (mirrored ? "mirrored" : "row-major");
        EXPECT_EQ(screen.beginDrawCalls(), screen.endDrawCalls());
    }
    setPictureFonts(nullptr);
}

TEST(ChromePictureTest, WithoutFontsTheBarsComeWithoutTextAndWithoutMemoryNothing) {
    HeadlessScreen screen;
    HeadlessWindow window(screen);
    ASSERT_TRUE(screen.openDisplay(window, fullScreenDisplay));
    drawShellChrome(screen, "Veldra -- Cello");
    EXPECT_EQ(screen.pixel(200, 13), screen.pixel(201, 13));           // no title, only the bar
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

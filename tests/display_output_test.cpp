// The display device on the headless screen: opening and the refused displays, the
// fixed-frame-buffer model, composition rules, suspension, closing and the background
// capture; the frame path against plain per-pixel loops in every memory layout; the
// headless window's drawing context and PNG snapshots written all or nothing.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "display/display.h"
#include "platform/screen/headless_screen.h"
#include "platform/screen/headless_window.h"
#include "platform/screen/screen_png.h"
#include "tests/support/rect_equality.h"
#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

// ---- The display device.

class OutputTest : public ::testing::Test {
  protected:
    void SetUp() override { resetDisplay(); }
    void TearDown() override { resetDisplay(); }  // some screens die with their test
    void start() {
        ASSERT_TRUE(openDisplay(window));
        ASSERT_TRUE(prepareDisplay(window, 0, 26, 240, 268));
        for (int32_t p = 0; p < 240 * 320; ++p)
            ScaleLayer.pixels[p] = static_cast<uint16_t>(p * 31 | 1);
    }
    static auto pitches() {
        return std::tuple(displayState().fixedFrameBuffer, displayState().xPitch,
                          displayState().yPitch);
    }
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
    EXPECT_EQ(std::tuple(screen.viewportHeight(), displayState().windowTop, cos1024(0)),
              std::tuple(320, 26, 1024));
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
        EXPECT_EQ(std::tie(box.owner, box.text, box.caption, box.style),
                  std::tuple(&owner, message, "Graphics", 48u));
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
    for (auto [x, y] :
         {std::pair{0, 26}, std::pair{239, 26}, std::pair{239, 293}, std::pair{117, 150}})
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
    for (int32_t i = 0; i < 5; ++i)
        fadeInk();
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
    for (size_t p = 0; p < picture.size(); ++p)
        picture[p] = static_cast<uint16_t>(p * 13 + 1);
    screen.fill(0x3333);
    captureBackground(window, Bitmap{240, 268, picture.data()});
    EXPECT_EQ(window.contextsOut(), 0);
    EXPECT_EQ(std::tuple(screen.pixel(0, 25), screen.pixel(0, 26), screen.pixel(239, 293)),
              std::tuple(0x3333, picture[0], picture.back()));
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), BackgroundLayer.pixels));
}

// ---- The frame path against plain per-pixel loops: composition and the copy to display
// memory on random layers in every memory layout, and both fade formulas over every RGB565
// value, channel by channel.

struct Channels {
    uint32_t r, g, b;
};
Channels split(uint16_t v) {
    return {uint32_t(v) >> 11, (uint32_t(v) >> 5) & 63, uint32_t(v) & 31};
}
uint16_t join(Channels c) {
    return static_cast<uint16_t>((c.r << 11) | (c.g << 5) | c.b);
}

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
        for (int32_t p = 0; p < 240 * 320; ++p)
            InkLayer.pixels[p] = static_cast<uint16_t>(p);
        while (InkLayer.pixels[0xFFFF] == 0xFFFF)
            fadeInk();  // quarter first, then step
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

// ---- The headless window's drawing context (clipping) and PNG snapshots. (Its text
// records are checked through the information text in views_test.)

TEST(HeadlessWindowTest, StartupPlacementLeavesA240By268ClientAreaAtRow26) {
    HeadlessScreen screen;
    HeadlessWindow window{screen};
    window.place(startupWindowRect);
    EXPECT_EQ(window.clientRect(), (Rect{0, 0, 240, 268}));
    ClientDrawing drawing(window);
    drawing.get()->fillRect({-10, -10, 500, 500}, 0x0000FF);  // red, clipped to the client
    EXPECT_EQ(std::tuple(screen.pixel(0, 25), screen.pixel(0, 26), screen.pixel(239, 293),
                         screen.pixel(239, 294)),
              std::tuple(0, 0xF800, 0xF800, 0));
    const uint16_t pixels[] = {1, 2, 3, 4, 5, 6};  // 3 x 2, only its top-left two fit
    drawing.get()->copyBitmap({3, 2, pixels}, 238, 267);
    drawing.get()->copyBitmap({3, 2, pixels}, -2147483647, 2147483647);
    EXPECT_EQ(std::tuple(screen.pixel(238, 293), screen.pixel(239, 293)), std::tuple(1, 2));
}

std::vector<std::string> filesIn(const ScratchFolder& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder.root()))
        names.push_back(e.path().filename());
    return names;
}

TEST(PngTest, WholeScreenRoundTripsWithChannelsWidened) {
    const auto patternAt = [](int32_t x, int32_t y) {
        return static_cast<uint16_t>(x * 331 + y * 7 + 1);
    };
    HeadlessScreen screen;
    for (int32_t y = 0; y < 320; ++y)
        for (int32_t x = 0; x < 240; ++x)
            screen.setPixel(x, y, patternAt(x, y));
    screen.setPixel(0, 0, 0xFFFF);
    screen.setPixel(1, 0, 0x0000);
    screen.setPixel(2, 0, 0x8410);  // each channel at its midpoint
    ScratchFolder folder;
    const std::string path = folder.path("screen.png");
    writeWholeFile(path, "an older file, replaced");
    std::string error;
    ASSERT_TRUE(screen.writePng(path, error)) << error;
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"screen.png"});
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IRGRP, 0u);  // not the temporary file's private mode

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(std::pair(image.width, image.height), std::pair(240u, 320u));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    const auto at = [&](int32_t x, int32_t y) {
        const uint8_t* p = &rgb[(y * 240 + x) * 3];
        return std::tuple(p[0], p[1], p[2]);
    };
    EXPECT_EQ(at(0, 0), std::tuple(255, 255, 255));
    EXPECT_EQ(at(1, 0), std::tuple(0, 0, 0));
    EXPECT_EQ(at(2, 0), std::tuple(132, 130, 132));  // 16 of 31, 32 of 63
    for (auto [x, y] : {std::pair{3, 1}, std::pair{239, 319}, std::pair{100, 200}}) {
        const uint16_t v = patternAt(x, y);
        const auto [r, g, b] = at(x, y);
        EXPECT_EQ(std::tuple(r >> 3, g >> 2, b >> 3), std::tuple(v >> 11, (v >> 5) & 63, v & 31));
    }
}

TEST(PngTest, FailuresNameTheFileAndLeaveNothingBehind) {
    ScratchFolder folder;
    const std::vector<uint16_t> pixels(4, 0x07E0);
    std::string error;
    const std::string missing = folder.path("no-such-folder/shot.png");
    EXPECT_FALSE(writePngFile(missing, pixels.data(), 2, 2, error));
    EXPECT_NE(error.find("'" + missing + "'"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    // The target is a folder: the finished temporary file cannot replace it.
    const std::string occupied = folder.path("occupied.png");
    std::filesystem::create_directory(occupied);
    EXPECT_FALSE(writePngFile(occupied, pixels.data(), 2, 2, error));
    EXPECT_NE(error.find(occupied), std::string::npos) << error;
    EXPECT_FALSE(writePngFile(folder.path("empty.png"), pixels.data(), 0, 2, error));
    EXPECT_NE(error.find("empty.png"), std::string::npos) << error;
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"occupied.png"});
    EXPECT_TRUE(std::filesystem::is_directory(occupied));
}

}  // namespace
}  // namespace veldra

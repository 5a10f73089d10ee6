// The headless window's drawing context (clipping, text records) and PNG snapshots
// written all or nothing. The screen's memory layouts are exercised through the display
// engine in display_frame_reference_test.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/headless_screen.h"
#include "platform/headless_window.h"
#include "platform/screen_png.h"

namespace veldra {
namespace {

namespace fs = std::filesystem;

uint16_t patternAt(int32_t x, int32_t y) { return static_cast<uint16_t>(x * 331 + y * 7 + 1); }

class HeadlessWindowTest : public ::testing::Test {
protected:
    HeadlessScreen screen;
    HeadlessWindow window{screen};
};

TEST_F(HeadlessWindowTest, StartupPlacementLeavesA240By268ClientAreaAtRow26) {
    EXPECT_EQ(window.screenRect().bottom, 320);
    window.place(startupWindowRect);
    const Rect client = window.clientRect();
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 240);
    EXPECT_EQ(client.bottom, 268);
    ClientDrawing drawing(window);
    drawing.get()->fillRect({-10, -10, 500, 500}, 0x0000FF);  // red, clipped to the client
    EXPECT_EQ(screen.pixel(0, 25), 0);
    EXPECT_EQ(screen.pixel(0, 26), 0xF800);
    EXPECT_EQ(screen.pixel(239, 293), 0xF800);
    EXPECT_EQ(screen.pixel(239, 294), 0);
    const uint16_t pixels[] = {1, 2, 3, 4, 5, 6};  // 3 x 2, only its top-left two fit
    drawing.get()->copyBitmap({3, 2, pixels}, 238, 267);
    drawing.get()->copyBitmap({3, 2, pixels}, -2147483647, 2147483647);
    EXPECT_EQ(screen.pixel(238, 293), 1);
    EXPECT_EQ(screen.pixel(239, 293), 2);
}

TEST_F(HeadlessWindowTest, TextIsRecordedWithItsColoursNotDrawn) {
    {
        ClientDrawing drawing(window);
        DrawingContext& dc = *drawing.get();
        EXPECT_EQ(dc.setTextColour(colourWhite), colourBlack);
        EXPECT_EQ(dc.setBackgroundColour(colourBlack), colourWhite);
        dc.drawText("E2 82.4 Hz", {0, 10, 240, 40}, textCentre | textWordBreak);
        EXPECT_EQ(window.contextsOut(), 1);
    }
    EXPECT_EQ(window.contextsOut(), 0);
    ASSERT_EQ(window.texts().size(), 1u);
    const HeadlessWindow::TextCall& t = window.texts()[0];
    EXPECT_EQ(t.text, "E2 82.4 Hz");
    EXPECT_EQ(t.rect.bottom, 40);
    EXPECT_EQ(t.flags, textCentre | textWordBreak);
    EXPECT_EQ(t.textColour, colourWhite);
    EXPECT_EQ(t.backgroundColour, colourBlack);
    for (uint16_t v : screen.snapshot()) ASSERT_EQ(v, 0);
    // A new context starts from the default colours again.
    ClientDrawing again(window);
    EXPECT_EQ(again.get()->setTextColour(colourBlack), colourBlack);
}

class PngTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("veldra-png-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::vector<fs::path> files() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename());
        return out;
    }
    fs::path folder;
};

TEST_F(PngTest, WholeScreenRoundTripsWithChannelsWidened) {
    HeadlessScreen screen;
    for (int32_t y = 0; y < 320; ++y) {
        for (int32_t x = 0; x < 240; ++x) screen.setPixel(x, y, patternAt(x, y));
    }
    screen.setPixel(0, 0, 0xFFFF);
    screen.setPixel(1, 0, 0x0000);
    screen.setPixel(2, 0, 0x8410);  // each channel at its midpoint
    const std::string path = (folder / "screen.png").string();
    std::ofstream(path) << "an older file, replaced";
    std::string error;
    ASSERT_TRUE(screen.writePng(path, error)) << error;
    EXPECT_EQ(files(), std::vector<fs::path>{"screen.png"});
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IRGRP, 0u);  // not the temporary file's private mode

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(image.width, 240u);
    EXPECT_EQ(image.height, 320u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    const auto at = [&](int32_t x, int32_t y, int32_t c) { return rgb[(y * 240 + x) * 3 + c]; };
    EXPECT_EQ(at(0, 0, 0), 255);
    EXPECT_EQ(at(0, 0, 1), 255);
    EXPECT_EQ(at(0, 0, 2), 255);
    EXPECT_EQ(at(1, 0, 0), 0);
    EXPECT_EQ(at(2, 0, 0), 132);  // 16 of 31
    EXPECT_EQ(at(2, 0, 1), 130);  // 32 of 63
    for (auto [x, y] : {std::pair{3, 1}, std::pair{239, 319}, std::pair{100, 200}}) {
        const uint16_t v = patternAt(x, y);
        EXPECT_EQ(at(x, y, 0) >> 3, v >> 11);
        EXPECT_EQ(at(x, y, 1) >> 2, (v >> 5) & 63);
        EXPECT_EQ(at(x, y, 2) >> 3, v & 31);
    }
}

TEST_F(PngTest, FailuresNameTheFileAndLeaveNothingBehind) {
    const std::vector<uint16_t> pixels(4, 0x07E0);
    std::string error;
    const std::string missing = (folder / "no-such-folder" / "shot.png").string();
    EXPECT_FALSE(writePngFile(missing, pixels.data(), 2, 2, error));
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

    // The target is a folder: the finished temporary file cannot replace it.
    const fs::path occupied = folder / "occupied.png";
    fs::create_directory(occupied);
    error.clear();
    EXPECT_FALSE(writePngFile(occupied.string(), pixels.data(), 2, 2, error));
    EXPECT_NE(error.find(occupied.string()), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(occupied));
    EXPECT_EQ(files(), std::vector<fs::path>{"occupied.png"});

    error.clear();
    EXPECT_FALSE(writePngFile((folder / "empty.png").string(), pixels.data(), 0, 2, error));
    EXPECT_NE(error.find("empty.png"), std::string::npos);
    EXPECT_EQ(files().size(), 1u);
}

}  // namespace
}  // namespace veldra

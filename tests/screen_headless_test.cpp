// The headless window's drawing context (clipping) and PNG snapshots written all or
// nothing. The screen's memory layouts are exercised through the display engine in
// display_frame_reference_test, the text records through instrument_info_test.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/headless_screen.h"
#include "platform/headless_window.h"
#include "platform/screen_png.h"
#include "tests/support/rect_equality.h"
#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

TEST(HeadlessWindowTest, StartupPlacementLeavesA240By268ClientAreaAtRow26) {
    HeadlessScreen screen;
    HeadlessWindow window{screen};
    window.place(startupWindowRect);
    EXPECT_EQ(window.clientRect(), (Rect{0, 0, 240, 268}));
    ClientDrawing drawing(window);
    drawing.get()->fillRect({-10, -10, 500, 500}, 0x0000FF);  // red, clipped to the client
    EXPECT_EQ(std::tuple(screen.pixel(0, 25), screen.pixel(0, 26), screen.pixel(239, 293), screen.pixel(239, 294)),
              std::tuple(0, 0xF800, 0xF800, 0));
    const uint16_t pixels[] = {1, 2, 3, 4, 5, 6};  // 3 x 2, only its top-left two fit
    drawing.get()->copyBitmap({3, 2, pixels}, 238, 267);
    drawing.get()->copyBitmap({3, 2, pixels}, -2147483647, 2147483647);
    EXPECT_EQ(std::tuple(screen.pixel(238, 293), screen.pixel(239, 293)), std::tuple(1, 2));
}

std::vector<std::string> filesIn(const ScratchFolder& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder.root())) names.push_back(e.path().filename());
    return names;
}

TEST(PngTest, WholeScreenRoundTripsWithChannelsWidened) {
    const auto patternAt = [](int32_t x, int32_t y) { return static_cast<uint16_t>(x * 331 + y * 7 + 1); };
    HeadlessScreen screen;
    for (int32_t y = 0; y < 320; ++y)
        for (int32_t x = 0; x < 240; ++x) screen.setPixel(x, y, patternAt(x, y));
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

#include "tools/veldra-file/file_pictures.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/screen/screen.h"

namespace veldra {

namespace fs = std::filesystem;

bool RunPictures::prepare(std::string& error) {
    if (!pngPath_.empty()) {
        const fs::path folder = fs::path(pngPath_).parent_path();
        std::error_code ec;
        if (!folder.empty() && !fs::is_directory(folder, ec)) {
            error = pngPath_ + ": cannot be written (no folder " + folder.string() + ")";
            return false;
        }
        if (fs::is_directory(pngPath_, ec)) {
            error = pngPath_ + ": cannot be written (it is a folder)";
            return false;
        }
    }
    if (!framesDir_.empty()) {
        std::error_code ec;
        if (!fs::is_directory(framesDir_, ec) && !fs::create_directory(framesDir_, ec)) {
            error = framesDir_ + ": cannot make the frames folder (" +
                    (ec ? ec.message() : std::string("a file of that name is in the way")) + ")";
            return false;
        }
    }
    return true;
}

namespace {

std::string framePath(const std::string& folder, int64_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(number));
    return (fs::path(folder) / name).string();
}

}  // namespace

bool RunPictures::writeFrame(const HeadlessScreen& screen, std::string& error) {
    if (framesDir_.empty()) return true;
    if (!screen.writePng(framePath(framesDir_, frames_ + 1), error)) return false;
    ++frames_;
    return true;
}

void RunPictures::hold(const HeadlessScreen& screen) {
    held_ = screen.snapshot();
}

bool RunPictures::finish(const HeadlessScreen& screen, std::string& error) {
    if (pngPath_.empty()) return true;
    if (held_.empty()) return screen.writePng(pngPath_, error);
    return writePngFile(pngPath_, held_.data(), screenWidth, screenHeight, error);
}

void RunPictures::discard() {
    std::error_code ec;
    for (int64_t n = 1; n <= frames_; ++n)
        fs::remove(framePath(framesDir_, n), ec);
    frames_ = 0;
}

}  // namespace veldra

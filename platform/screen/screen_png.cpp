#include "platform/screen/screen_png.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace veldra {
namespace {

bool fail(std::string& error, const std::string& path, const std::string& reason) {
    error = "cannot write PNG file '" + path + "': " + reason;
    return false;
}

std::string systemReason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// RGB565 to 8-bit RGB; repeating the top bits maps full scale to 255.
std::vector<uint8_t> toRgb(const uint16_t* pixels, size_t count) {
    std::vector<uint8_t> rgb(count * 3);
    for (size_t p = 0; p < count; ++p) {
        const uint32_t v = pixels[p];
        const uint32_t r = v >> 11;
        const uint32_t g = (v >> 5) & 63;
        const uint32_t b = v & 31;
        rgb[3 * p] = static_cast<uint8_t>((r << 3) | (r >> 2));
        rgb[3 * p + 1] = static_cast<uint8_t>((g << 2) | (g >> 4));
        rgb[3 * p + 2] = static_cast<uint8_t>((b << 3) | (b >> 2));
    }
    return rgb;
}

// The mode a newly created file gets from the process's umask.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// Writes the encoded picture into the open temporary file and closes it; the caller
// removes the file when this fails.
bool writeAndClose(FILE* file, const std::vector<uint8_t>& rgb, int32_t width, int32_t height,
                   std::string& reason) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    bool ok = png_image_write_to_stdio(&image, file, 0, rgb.data(), 3 * width, nullptr) != 0;
    if (!ok) reason = std::string("PNG encoding failed: ") + image.message;
    png_image_free(&image);
    if (ok && (std::fflush(file) != 0 || fsync(fileno(file)) != 0)) {
        ok = false;
        reason = systemReason("write failed");
    }
    if (ok && fchmod(fileno(file), newFileMode()) != 0) {
        ok = false;
        reason = systemReason("cannot set permissions");
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = systemReason("write failed");
    }
    return ok;
}

}  // namespace

bool writePngFile(const std::string& path, const uint16_t* pixels, int32_t width, int32_t height,
                  std::string& error) {
    if (pixels == nullptr || width <= 0 || height <= 0) return fail(error, path, "empty picture");
    if (path.empty()) return fail(error, path, "no file name");
    const std::vector<uint8_t> rgb =
        toRgb(pixels, static_cast<size_t>(width) * static_cast<size_t>(height));

    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return fail(error, path, systemReason("cannot create a temporary file beside it"));
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const std::string reason = systemReason("cannot open the temporary file");
        close(fd);
        unlink(temporary.c_str());
        return fail(error, path, reason);
    }
    std::string reason;
    if (!writeAndClose(file, rgb, width, height, reason)) {
        unlink(temporary.c_str());
        return fail(error, path, reason);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string why = systemReason("cannot replace it");
        unlink(temporary.c_str());
        return fail(error, path, why);
    }
    return true;
}

}  // namespace veldra

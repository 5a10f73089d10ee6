#include "tools/artwork/image_files.h"

#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace veldra::artwork {
namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string systemError(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

// Writes bytes to path + ".tmp" and renames it over path.
bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        error = systemError(temporary, "cannot create");
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = systemError(temporary, "cannot write");
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = systemError(path, "cannot replace");
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

Palette orangePalette() {
    Palette palette{};
    for (int i = 0; i < 16; ++i) {
        palette[i] = {static_cast<uint8_t>(std::lround(206.0 * i / fullShade)),
                      static_cast<uint8_t>(std::lround(99.0 * i / fullShade)), 0};
    }
    return palette;
}

bool writeBmp16(const std::string& path, const ShadeCanvas& canvas, const Palette& palette,
                std::string& error) {
    const uint32_t rowBytes = ((static_cast<uint32_t>(canvas.width) + 7) / 8) * 4;  // 4-byte rows
    const uint32_t pixelOffset = 14 + 40 + 16 * 4;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(canvas.height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, pixelOffset + imageBytes);
    put32(out, 0);
    put32(out, pixelOffset);
    put32(out, 40);  // information header size
    put32(out, static_cast<uint32_t>(canvas.width));
    put32(out, static_cast<uint32_t>(canvas.height));  // positive: bottom row first
    put16(out, 1);                                     // planes
    put16(out, 4);                                     // bits per pixel
    put32(out, 0);                                     // no compression
    put32(out, imageBytes);
    put32(out, 2835);  // 72 dots per inch
    put32(out, 2835);
    put32(out, 16);  // colours used
    put32(out, 16);  // colours important
    for (const Rgb& c : palette) {
        out.push_back(c.blue);
        out.push_back(c.green);
        out.push_back(c.red);
        out.push_back(0);
    }
    for (int y = canvas.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(rowBytes, 0);
        for (int x = 0; x < canvas.width; ++x) {
            row[x / 2] |= static_cast<uint8_t>(canvas.at(x, y) << (x % 2 == 0 ? 4 : 0));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return replaceFile(path, out, error);
}

bool writePng(const std::string& path, const ShadeCanvas& canvas, const Palette& palette,
              bool (*opaque)(int x, int y, int width, int height), std::string& error) {
    std::vector<uint8_t> rgba(static_cast<size_t>(canvas.width) * canvas.height * 4);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const Rgb& c = palette[canvas.at(x, y)];
            uint8_t* p = &rgba[(static_cast<size_t>(y) * canvas.width + x) * 4];
            p[0] = c.red;
            p[1] = c.green;
            p[2] = c.blue;
            p[3] = opaque(x, y, canvas.width, canvas.height) ? 255 : 0;
        }
    }
    // libpng's simplified API: no setjmp, so nothing here can be clobbered by a longjmp.
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(canvas.width);
    image.height = static_cast<png_uint_32>(canvas.height);
    image.format = PNG_FORMAT_RGBA;
    const png_int_32 stride = canvas.width * 4;
    png_alloc_size_t size = 0;
    bool ok =
        png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), stride, nullptr) != 0;
    std::vector<uint8_t> out(size);
    ok = ok &&
         png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), stride, nullptr) != 0;
    png_image_free(&image);
    if (!ok) {
        error = path + ": cannot encode the PNG image";
        return false;
    }
    out.resize(size);
    return replaceFile(path, out, error);
}

}  // namespace veldra::artwork

// Writing the artwork as files a person can open: 16-colour BMP for the pictures the
// program loads, PNG for the desktop icon. Each file is written under a temporary name
// and renamed into place, so a failed run leaves the previous file intact.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/artwork/shade_canvas.h"

namespace veldra::artwork {

struct Rgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

using Palette = std::array<Rgb, 16>;

// Shade i of the dial's orange (red 206, green 99, blue 0) at i / 15 of its brightness;
// shade 0 is black.
Palette orangePalette();

// A 4-bit, uncompressed, bottom-up BMP with the palette. On failure returns false and
// sets error to a message naming the file.
bool writeBmp16(const std::string& path, const ShadeCanvas& canvas, const Palette& palette,
                std::string& error);

// An RGBA PNG; pixels for which opaque(x, y) is false are fully transparent.
bool writePng(const std::string& path, const ShadeCanvas& canvas, const Palette& palette,
              bool (*opaque)(int x, int y, int width, int height), std::string& error);

}  // namespace veldra::artwork

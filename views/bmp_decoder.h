// A small decoder for the BMP files the program carries as resources: uncompressed
// Windows bitmaps with 1, 4 or 8 bits per pixel and a palette, or 24 or 32 bits per
// pixel, stored bottom-up or top-down. Pixels come out as RGB565 (each channel's top
// bits kept, as a 16-bit display shows them), row 0 at the top.
//
// Any other or damaged input is refused with a message; nothing is read outside the
// bytes given.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace veldra {

struct DecodedBitmap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint16_t> pixels;  // width x height, RGB565
};

// The largest picture accepted, in either direction.
inline constexpr int32_t maxBitmapSide = 4096;

// Decodes file into out. On failure returns false, sets error to what is wrong and
// leaves out empty.
bool decodeBmp(std::span<const uint8_t> file, DecodedBitmap& out, std::string& error);

}  // namespace veldra

#include "views/bmp_decoder.h"

#include "platform/screen/screen.h"

namespace veldra {
namespace {

constexpr size_t fileHeaderSize = 14;
constexpr uint32_t minInfoHeaderSize = 40;
constexpr uint32_t uncompressed = 0;
constexpr uint32_t bitfields = 3;  // 16/32-bit masks; accepted for 32 bits as plain BGRX

uint32_t read16(std::span<const uint8_t> b, size_t at) {
    return b[at] | b[at + 1] << 8;
}
uint32_t read32(std::span<const uint8_t> b, size_t at) {
    return read16(b, at) | read16(b, at + 2) << 16;
}

bool fail(std::string& error, DecodedBitmap& out, const char* message) {
    error = message;
    out = {};
    return false;
}

}  // namespace

bool decodeBmp(std::span<const uint8_t> file, DecodedBitmap& out, std::string& error) {
    out = {};
    if (file.size() < fileHeaderSize + minInfoHeaderSize || file[0] != 'B' || file[1] != 'M') {
        return fail(error, out, "not a BMP file");
    }
    const uint32_t pixelOffset = read32(file, 10);
    const uint32_t infoSize = read32(file, 14);
    if (infoSize < minInfoHeaderSize || infoSize > file.size() - fileHeaderSize) {
        return fail(error, out, "unsupported BMP header");
    }
    const auto width = static_cast<int32_t>(read32(file, 18));
    const auto rawHeight = static_cast<int32_t>(read32(file, 22));
    const uint32_t bits = read16(file, 28);
    const uint32_t compression = read32(file, 30);
    uint32_t paletteCount = read32(file, 46);

    const bool topDown = rawHeight < 0;
    // Negating INT32_MIN would overflow; anything that large is refused below anyway.
    const int64_t height = topDown ? -static_cast<int64_t>(rawHeight) : rawHeight;
    if (width < 1 || height < 1 || width > maxBitmapSide || height > maxBitmapSide) {
        return fail(error, out, "BMP size out of range");
    }
    const bool indexed = bits == 1 || bits == 4 || bits == 8;
    if (!indexed && bits != 24 && bits != 32)
        return fail(error, out, "unsupported BMP pixel depth");
    if (compression != uncompressed && !(bits == 32 && compression == bitfields)) {
        return fail(error, out, "compressed BMP files are not supported");
    }

    uint16_t palette[256] = {};
    if (indexed) {
        const uint32_t maxColours = 1u << bits;
        if (paletteCount == 0) paletteCount = maxColours;
        if (paletteCount > maxColours) return fail(error, out, "BMP palette too large");
        const size_t paletteAt = fileHeaderSize + infoSize;
        if (paletteAt + 4 * size_t{paletteCount} > file.size())
            return fail(error, out, "BMP palette cut short");
        for (uint32_t i = 0; i < paletteCount; ++i) {
            const size_t at = paletteAt + 4 * i;
            palette[i] = rgb565(file[at + 2], file[at + 1], file[at]);
        }
    }

    const size_t rowBytes = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t rows = static_cast<size_t>(height);
    if (pixelOffset > file.size() || rowBytes * rows > file.size() - pixelOffset) {
        return fail(error, out, "BMP pixel data cut short");
    }

    out.width = width;
    out.height = static_cast<int32_t>(height);
    out.pixels.resize(static_cast<size_t>(width) * rows);
    for (size_t y = 0; y < rows; ++y) {
        const size_t stored = topDown ? y : rows - 1 - y;
        std::span<const uint8_t> row = file.subspan(pixelOffset + stored * rowBytes, rowBytes);
        uint16_t* target = &out.pixels[y * static_cast<size_t>(width)];
        for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
            if (indexed) {
                const size_t bit = x * bits;
                const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= paletteCount) return fail(error, out, "BMP pixel outside its palette");
                target[x] = palette[index];
            } else {
                const size_t at = x * (bits / 8);
                target[x] = rgb565(row[at + 2], row[at + 1], row[at]);
            }
        }
    }
    return true;
}

}  // namespace veldra

// Writing a screen picture to a PNG file (libpng), all or nothing.
//
// The picture is width x height RGB565 pixels, row-major; it is written as 8-bit RGB,
// each channel widened by repeating its top bits (31 -> 255, 63 -> 255). The file appears
// complete or not at all: it is written to a temporary file in the same folder, flushed
// to disk and renamed over the target; on any failure the temporary file is removed and
// an existing target is left as it was.
//
// Thread: any; touches nothing but the files.
#pragma once

#include <cstdint>
#include <string>

namespace veldra {

// false with error set to a message that names the file and what went wrong.
bool writePngFile(const std::string& path, const uint16_t* pixels, int32_t width, int32_t height,
                  std::string& error);

}  // namespace veldra

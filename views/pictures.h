// The program's built-in pictures, by the platform's resource numbers: the dial's
// background picture, the menu bar's button image and the icon. They are the files of
// views/pictures/, compiled into the program, so that everything that draws the tuner
// (the window, veldra-file, the browser) has them without the application shell.
//
// Thread: main thread only. loadBitmapResource decodes a picture on its first request
// and keeps it for the rest of the run, so ask for pictures at start-up, not while the
// tuner runs.
#pragma once

#include <cstdint>
#include <span>

#include "platform/screen/screen.h"

namespace veldra {

inline constexpr int32_t iconResource = 105;          // 32 x 32
inline constexpr int32_t menuBarImageResource = 120;  // 16 x 16
inline constexpr int32_t backgroundResource = 124;    // 240 x 268, the dial's spiral

// The raw bytes of resource id, or an empty span when there is none.
std::span<const uint8_t> resourceData(int32_t id);

// Resource id as an RGB565 picture, valid until the program ends; {0, 0, nullptr} when
// there is no such resource or it is not a picture this program can read.
Bitmap loadBitmapResource(int32_t id);

}  // namespace veldra

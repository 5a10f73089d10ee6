// The window as the player sees it at scale 1: the 240 x 320 screen with the readout
// strip (views/readout.h) below it, saying what the tuner's readout says now; or, for the
// pictures that must stay as they always were, the screen alone.
//
// Thread: main thread only (it reads the tuner's state).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/screen/screen.h"

namespace veldra {

// screenWidth x (screenHeight + readoutHeight) RGB565 pixels, row-major; screenHeight
// rows with screenOnly.
std::vector<uint16_t> windowPicture(const HeadlessScreen& screen, bool screenOnly);

}  // namespace veldra

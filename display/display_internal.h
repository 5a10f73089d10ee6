// Shared by the display engine's own sources only: write access to the state record and
// the bracket around each access to display memory.
#pragma once

#include <cstdint>

#include "display/display_device.h"

namespace veldra::display_internal {

// The one DisplayState record of the program.
DisplayState& state();

// Display memory for one access: the fixed frame buffer, or beginDraw's base (then
// endDraw is owed). base is null when there is nothing to draw into this time.
struct MemoryAccess {
    uint16_t* base;
    bool endDrawOwed;
};

// Only while the display is open.
MemoryAccess beginMemoryAccess();
void endMemoryAccess(const MemoryAccess& access);

}  // namespace veldra::display_internal

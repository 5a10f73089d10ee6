// platform/canvas/: drawing into 16-bit pixel memory outside the display engine's layers:
// the window system's chrome, dialogs and text.
//
//   pixel_canvas.h  a clipped view of RGB565 memory: fill, frame, bitmap copy, blending
//   glyph_font.h    fonts rendered ahead of time, and text laid out and drawn from them
#pragma once

#include "platform/canvas/glyph_font.h"
#include "platform/canvas/pixel_canvas.h"

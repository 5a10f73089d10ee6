// display/: the display engine: the picture built in off-screen 240 x 320 RGB565 layers
// and copied straight into the screen's memory, ten frames a second of sound.
//
//   surface.h         pixel buffers and the integer raster primitives
//   trig_tables.h     cosine and sine in 1/1024 turn, scaled by 1024
//   font.h            the 7 x 7 bitmap font of the dial's labels
//   layers.h          the background, scale and ink layers, the pens, composing and fading
//   display_device.h  opening the screen for a window, the plot window, the background
//                     capture, suspending all output while the window is not active
//
// Thread: the main thread only.
#pragma once

#include "display/display_device.h"
#include "display/font.h"
#include "display/layers.h"
#include "display/surface.h"
#include "display/trig_tables.h"

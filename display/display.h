// The display engine in one include: surfaces and raster primitives, trig tables, the
// bitmap font, layers and pens, and the display device.
#pragma once

#include "display/display_device.h"
#include "display/font.h"
#include "display/layers.h"
#include "display/surface.h"
#include "display/trig_tables.h"

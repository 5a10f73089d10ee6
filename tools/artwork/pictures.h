// The program's pictures, drawn from the dial's geometry.
//
// The background (240 x 268) carries the printed spiral: three clockwise turns from the
// top, centre (120, 128), radius 40 at the start and 106 at the end (22 pixels per
// turn), a tick across the line at every semitone, the letters C beside the places where
// the dial writes its two octave digits and D E F G A B outside the outer turn. The line
// is placed where the dial's integer point arithmetic lands on average (the dial floors
// its radius and its coordinates), so that every dial point lies on the printed line.
#pragma once

#include "tools/artwork/shade_canvas.h"

namespace veldra::artwork {

inline constexpr int backgroundWidth = 240;
inline constexpr int backgroundHeight = 268;

ShadeCanvas drawBackground();

// The 16 x 16 image on the menu bar's button: a small spiral.
ShadeCanvas drawMenuBarImage();

// The program icon at size x size pixels: a spiral with a string ring and a needle.
ShadeCanvas drawIcon(int size);

// True inside the icon's round face (the PNG is transparent outside it).
bool insideIconFace(int x, int y, int width, int height);

}  // namespace veldra::artwork

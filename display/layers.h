// Layers and pens: the three 240 x 320 layers the picture is built in, the pens that draw
// into them, and the frame operations that compose, show and fade the picture.
//
//   BackgroundLayer  the background picture as captured from the screen (captureBackground)
//   ScaleLayer       a copy of the background plus the current mode's static drawing;
//                    0 pixels are see-through
//   InkLayer         the moving drawing, which fades; after presentFrame the composed frame
//
// Layer column c is screen column c; layer row r is screen row plotWindow.top + r.
//
// Pens (the first argument of every drawing operation) pick colour and layer:
//   PenInk 1         the ink colour (0xFFFF until setInkColour)   InkLayer
//   PenScaleErase 2  0, which makes the scale see-through         ScaleLayer
//   PenInkErase 3    0                                             InkLayer
//   PenScale 49      0xFBE0                                        ScaleLayer
//   any other value  0xF0FF                                        InkLayer
// Every drawing operation adds the plot window's left edge to x (not to y) and inherits
// the bounds of surface.h: lines, circles and rings that leave the layer are skipped;
// points and text are not tested (their callers keep them on the layer).
//
// A frame: presentFrame lays every non-zero ScaleLayer pixel over InkLayer (so the scale
// always covers the ink) and copies the plot window's rows of InkLayer to the screen;
// fadeInk darkens InkLayer on the 3rd and 5th of every five calls, alternately by a
// quarter of each channel and by one step (see fadeInk). Both touch 240 x plot height
// pixels once, with no allocation.
//
// Lifetime: the layers are created (flags 5, contents undefined) before main and freed at
// exit. If they cannot be allocated the program stops before main with a message on
// standard error and exit status 1: nothing could be drawn without them.
// Thread: main thread only.
#pragma once

#include <cstdint>

#include "display/surface.h"

namespace veldra {

inline constexpr int32_t layerWidth = 240;
inline constexpr int32_t layerHeight = 320;

extern Surface BackgroundLayer;
extern Surface ScaleLayer;
extern Surface InkLayer;

enum Pen : int32_t { PenInk = 1, PenScaleErase = 2, PenInkErase = 3, PenScale = 49 };

inline constexpr uint16_t initialInkColour = 0xFFFF;  // white
inline constexpr uint16_t scaleColour = 0xFBE0;       // red 31, green 31, blue 0
inline constexpr uint16_t otherPenColour = 0xF0FF;    // red 30, green 7, blue 31

// The screen rectangle the layers stand for.
struct PlotWindow {
    int32_t left;    // screen column of the left edge; added to x by every pen operation
    int32_t top;     // screen row that layer row 0 is shown on
    int32_t width;   // columns shown
    int32_t height;  // layer rows composed, shown and faded
};

// Stores the plot window and returns true when it lies on the 240 x 320 screen (no
// negative field, left + width <= 240, top + height <= 320). Any other window is refused
// (false) and the plot window stays as it was, so that no frame can run past the layers
// or the display memory.
bool setPlotWindow(int32_t left, int32_t top, int32_t width, int32_t height);

// With pen PenInk, sets the ink colour from 8-bit red, green and blue:
// ((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3), kept to 16 bits. Pixels
// already drawn keep their colour. Any other pen: nothing happens.
void setInkColour(int32_t pen, int32_t red, int32_t green, int32_t blue);

void drawPoint(int32_t pen, int32_t x, int32_t y);
// The points (xs[k], ys[k]), k < count, each exactly as drawPoint would draw it, with the
// pen chosen once for them all.
void drawPoints(int32_t pen, const int16_t* xs, const int16_t* ys, int32_t count);
void drawLine(int32_t pen, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void drawCircle(int32_t pen, int32_t cx, int32_t cy, int32_t radius);
// inner 0 gives a filled disc.
void drawRing(int32_t pen, int32_t cx, int32_t cy, int32_t inner, int32_t outer);
void drawText(int32_t pen, const char* text, int32_t x, int32_t y);

// ScaleLayer = BackgroundLayer and InkLayer = 0, all 240 x 320 pixels. Called each time a
// mode is set up, before its scale is drawn.
void resetLayers();

// InkLayer = 0: the moving marks gone, the scale kept.
void clearInk();

// Composes and shows one frame. Does nothing while drawing is suspended or the display is
// not open, or when the screen gives no memory for this frame. Plot columns are shown at
// the same screen columns (left .. left + width - 1), as captureBackground reads them.
void presentFrame();

// Adds 40 to the fade accumulator; on reaching 100 it takes 100 off and fades the plot
// window's rows of InkLayer, alternating the two formulas, the quarter one first:
//   quarter  pixel - ((pixel >> 2) & 0x39E7): each channel c becomes c - (c >> 2)
//   step     each red or blue channel that is not 0, and each green channel whose low
//            five bits are not 0, loses 1; then each channel's top bit is cleared
// From white: 0xC618, 0x39E7, 0x3186, 0x2965, ... Tests neither the display nor the
// suspension: the caller skips it while drawing is suspended.
void fadeInk();

}  // namespace veldra

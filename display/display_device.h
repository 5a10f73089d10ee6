// The display device: opening the screen for the main window, preparing the plot window,
// font and trig tables, capturing the background picture, closing, and suspending all
// screen output while the window is not active. Also the display engine's state record.
//
// openDisplay takes the screen the window lies on (Window::screen) and settles the display
// memory layout. It refuses, with a message box on the window (caption "Graphics",
// exclamation style 48) and false:
//   "Cannot open to full screen mode"     the screen cannot be opened
//   "Support only 16 bit pixel format."   the screen is not 16 bits per pixel (closed again)
//   "Unsupported display offset."         a pitch in bytes halves to 0 (closed again)
// A screen whose OEM text has 'H', '3', '8' at characters 12-14 is the fixed-frame-buffer
// model: its memory (Screen::fixedFrameBuffer) is written directly with x pitch -320 and
// y pitch 1, without beginDraw / endDraw.
//
// The start-up order is openDisplay, prepareDisplay, then on the first paint
// captureBackground; closeDisplay when the window goes. While drawing is suspended,
// presentFrame and captureBackground do nothing. The tuner suspends and resumes drawing
// as it pauses and resumes (its own state says whether the analysis runs).
//
// The screen must outlive its open display: close (or, in tests, resetDisplay) before the
// screen goes away.
// Thread: main thread only, the flags included; no locks.
#pragma once

#include <cstdint>

#include "display/layers.h"
#include "platform/screen/screen.h"

namespace veldra {

// The colour the background capture sets as its context's text colour.
inline constexpr ColourRef captureTextColour = 0x017FFF;

// All of the display engine's state outside the layers, font and trig tables.
struct DisplayState {
    PlotWindow plot;          // set by setPlotWindow; all 0 before
    uint16_t inkColour;       // PenInk's colour, RGB565; set by setInkColour, 0xFFFF at start
    bool displayOpen;         // set by a successful openDisplay, cleared by closeDisplay
    bool drawingSuspended;    // no screen output; written by suspend/resumeDrawing, which
                              // the tuner calls as it pauses and resumes
    bool fixedFrameBuffer;    // openDisplay found the fixed-frame-buffer model
    int32_t xPitch;           // pixels between horizontal neighbours in display memory; 1 at start
    int32_t yPitch;           // pixels between vertical neighbours in display memory; 1 at start
    int32_t windowLeft;       // main window's screen left, kept by prepareDisplay
    int32_t windowTop;        // main window's screen top, kept by prepareDisplay
    int32_t fadeAccumulator;  // progress toward the next fade, 0..99 between calls
    bool fadeQuarterNext;     // the next fade uses the quarter formula (else the step one)
    Screen* screen;           // the screen openDisplay opened; null when not open
    const char* refusal;      // what the last refused openDisplay said; null before any
    int64_t offLayerWrites;   // points and glyph cells drawn off their layer (x or y outside
                              // it): a caller broke its promise; written by the raster code,
                              // read by tests and the fuzzer, which expect 0 from the views
};

// Opens the display (see above); on false the message has been shown and the display is
// closed again.
bool openDisplay(Window& window);

// Keeps the window's screen origin, sets the plot window, builds the font and the trig
// tables. Returns setPlotWindow's answer (true for any window on the screen).
bool prepareDisplay(Window& window, int32_t left, int32_t top, int32_t width, int32_t height);

// Paints the bitmap into the window at its client origin (through a drawing context on
// black, text colour captureTextColour), then copies the plot window of the screen into
// BackgroundLayer (screen (left + j, top + i) to layer row i, column left + j). Does
// nothing unless the display is open and drawing is not suspended.
void captureBackground(Window& window, const Bitmap& bitmap);

// Closes the screen if it is open. Returns 0.
int closeDisplay();

void suspendDrawing();
void resumeDrawing();
bool isDrawingSuspended();

// Read-only view for tests and tools.
const DisplayState& displayState();

// For tests: puts the display state to its start values (display closed without calling
// the screen, nothing suspended, plot window 0, ink white, fade from the start), empties
// the font and the trig tables and clears all three layers to 0. Call prepareDisplay (or
// setPlotWindow, buildFont, buildTrigTables) before drawing.
void resetDisplay();

}  // namespace veldra

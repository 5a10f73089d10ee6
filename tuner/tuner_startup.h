// The tuner's start-up and shut-down: every value the program sets before the first block,
// named once, in the order the program sets it.
//
//   startTunerDisplay   once the main window exists: the display opened on it, the octave
//                       ranges filled, the display prepared for the window less the menu bar
//                       (the window is to move there), ten refreshes a second
//   startTunerViews     at the window's first paint: the trace's origin, shift and automatic
//                       delay, the dial's geometry, the background picture captured, the
//                       chosen mode set up (Guitar unless applyTunerChoices chose another
//                       before; with the validator's start-up tuning values, not Guitar's)
//   startTunerCapture   after the views: the hand-off to the window with analyzeBlock as
//                       its consumer, the capture stream opened and started, the analysis
//                       at the capture rate
//   stopTuner           when the window goes: capture stopped, display closed, hand-off
//                       closed (in that order, so no callback finds the hand-off gone)
//   (headless_tuner.h)  all of the start-up on a headless window, without capture
//   resetTuner          every module back to its start values, as in a fresh process
//                       (the tuner's state and its readout listener too)
//
// The header names what the program around the tuner passes in (windows, pictures) and
// nothing of the folders the tuner wires: their rate and block sizes are theirs.
// Thread: main thread only.
#pragma once

#include <cstdint>

#include "platform/screen/screen.h"

namespace veldra {

// The capture stream's configuration: blocks of 10 ms, a ring of 0.2 s.
inline constexpr uint16_t captureBlocks = 20;
inline constexpr uint32_t captureThreadPriority = 3;  // normal

// Opens and prepares the display; false when it cannot be opened (the display engine has
// shown its message, and tunerDisplayRefusal says it again). plot is where the window
// belongs: its rectangle less the menu bar.
bool startTunerDisplay(Window& window, Rect& plot);

// What the display said when startTunerDisplay last failed; null before any failure.
const char* tunerDisplayRefusal();

// The views set up; from here the readout says what the tuner shows (tuner_state.h).
void startTunerViews(Window& window, const Bitmap& background);

// False when the stream could not start (no sound input); the rest is done either way.
// The capture's wake-ups go to window, for handleTunerMessage.
bool startTunerCapture(Window& window);

void stopTuner();

void resetTuner();

// The analysis back to its start (the detector, the validator but for the tuning values the
// mode set, the count of digital silence, the input conditioning's estimate, band and
// level but for its range and on/off), at the rate it runs at: for a sound that has
// nothing to do with the one before, as after a lost input.
void restartAnalysis();

}  // namespace veldra

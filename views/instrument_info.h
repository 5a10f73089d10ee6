// The information text shown after the user picks a mode: the mode's name (and the
// tuning played when it is not the default), its octave range on the dial, the chosen A4
// when it is not the scale's own, and one line per open string, string 1 first, with its
// note name and frequency at that A4, followed by an " O.K. " band that invites a tap to
// resume the tuner.
//
// Thread: main thread only (the window's repaint handling). Needs initOctaveRange first.
#pragma once

#include <string>

#include "platform/screen/screen.h"
#include "views/instrument_catalogue.h"

namespace veldra {

// Where and how the text is drawn.
inline constexpr int32_t infoTextTop = 50;  // the text rectangle's top, in client pixels
inline constexpr uint32_t infoTextFlags = textCentre | textWordBreak | textNoClip;  // 273
inline constexpr Rect okBandRect = {140, 200, 230, 230};
inline constexpr const char* okBandText = " O.K. ";

// The text for kind, lines ending in '\n':
//   "You chose Guitar,\nwhich ranges from C2 to C5\n\nString 1 is: E 2, i.e.   82.40 Hz.\n..."
// Empty for a kind outside 0..7.
std::string composeInstrumentInfo(InstrumentKind kind);

// Draws the text into rect (whose top becomes 50), then switches the context to black
// on white and draws the " O.K. " band. The caller sets white on black beforehand and
// passes the client rectangle.
void drawInstrumentInfo(DrawingContext& context, Rect& rect, InstrumentKind kind);

}  // namespace veldra

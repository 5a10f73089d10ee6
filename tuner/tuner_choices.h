// The player's choices, owned by the tuner: the mode, its tuning, the reference A4, the
// note spelling and the string numbering. Whatever chooses (the menus, a settings dialog,
// a settings file, a command line) hands the whole record to applyTunerChoices; the tuner
// keeps it, hands the views their copy and sets the dial up again.
//
// The fields and their ranges are views/player_choices.h's PlayerChoices:
//   mode               the mode tuned; Guitar at start
//   tuning             index into the mode's tunings (views: modeTuning, findTuning);
//                      0 = the mode's default
//   referenceA4        Hz, 415..466; 0 = the scale's own (439.96 Hz)
//   flats              note names with flats ("Bb3") rather than sharps ("A#3")
//   numberFromHighest  string 1 is the highest string rather than the lowest
//
// A new mode brings its tuning values for the analysis (mode_tuning.h), as choosing it from
// the menu does; with the same mode the analysis is left as it is, so choosing a tuning or
// a reference never disturbs the pitch being followed.
//
// Thread: main thread only.
#pragma once

#include "views/views.h"

namespace veldra {

using TunerChoices = PlayerChoices;

// Applies choices when every field is in range (validPlayerChoices) and returns true;
// otherwise changes nothing and returns false. Once the views are set up the dial is set
// up again for the choices (its rings, a fresh ink layer); before that, the first paint
// sets it up for them.
bool applyTunerChoices(const TunerChoices& choices);

// The choices in force.
const TunerChoices& tunerChoices();

}  // namespace veldra

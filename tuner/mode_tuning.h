// A mode command's tuner side: the dial set up for the mode, and its tuning values. Guitar
// and Singing each set the period validator's smoothing span and tolerance; the other six
// modes set nothing and keep the pair that was set last (at start-up, the validator's own
// 1470 samples and 0.045).
//
// Used by the shell's command table and by everything that replays mode commands
// (veldra-file's --mode, the fuzzer). Thread: main thread only.
#pragma once

#include "views/views.h"

namespace veldra {

// Sets kind's tuning values, if it has any.
void applyModeTuning(InstrumentKind kind);

// The mode command: kind becomes the chosen mode (in the tuning already chosen when it is
// the same mode, else in its default; the other choices kept), the dial is set up for it
// (setupInstrument), then its tuning values are set. A kind outside 0..7 changes nothing.
void applyTunerMode(InstrumentKind kind);

}  // namespace veldra

// The readout strip below the handheld's screen in the desktop window (views/readout.h):
// the tuner's readout listener (tuner_state.h), installed by the shell once the main
// window exists. Told what the readout says, it draws the strip into memory of its own
// when the words changed and hands it to the window system to show.
//
// Thread: main thread only. Drawing allocates nothing.
#pragma once

#include "views/views.h"

namespace veldra {

// The tuner's readout listener.
void showDesktopReadout(const Readout& readout);

// The readout shown last (for tests), and back to nothing shown.
const Readout& desktopReadout();
void resetDesktopReadout();

}  // namespace veldra

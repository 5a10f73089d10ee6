// The readout strip below the handheld's screen in the desktop window (views/readout.h),
// kept by the shell: after every message the main window handles, the reading of the last
// dial refresh, or what stands in its way (the tuner paused, the input lost), drawn into
// memory of its own when what it says changed (views/readout.h draws it) and handed to the
// window system to show.
//
// Thread: main thread only. Drawing allocates nothing.
#pragma once

#include "views/views.h"

namespace veldra {

// What the shell knows that the readout depends on.
struct ReadoutInputs {
    bool started;         // the first paint has run: the tuner is set up
    bool inputLost;       // the sound input is lost and being tried again
    InstrumentKind mode;  // whose strings are named
};

void updateDesktopReadout(const ReadoutInputs& inputs);

// The readout shown last (for tests), and back to nothing shown.
const Readout& desktopReadout();
void resetDesktopReadout();

}  // namespace veldra

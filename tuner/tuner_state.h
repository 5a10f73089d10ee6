// The tuner's state as the program around it sees it: whether it is set up, paused or
// without input, the player's choices (the mode it tunes, ...), and what the readout says. The
// shell (and whatever else runs the tuner) tells the tuner what happened through the verbs below;
// the tuner tells the display and the pipeline, and tells the one readout listener each time what
// the readout says changes. Nothing else stops the analysis.
//
//   pauseTuner, resumeTuner  the window lost or got back the player: while paused no
//                            block is analysed and nothing reaches the screen; the refresh
//                            phase runs on, so the first refresh after it falls where the
//                            uninterrupted count puts it
//   setInputLost             the sound input went away (its marks come off the screen at
//                            once, so no needle pretends, and no block is analysed until
//                            it is back), for good or to be tried again,
//                            or came back: the analysis then starts afresh, so that
//                            nothing heard before the loss is read again
//   setInputFailed           no input would open: the readout says why from then on
//   handleTunerMessage       the capture hand-off's wake-up: the waiting sound analysed
//   repaintTuner             the window repainted to show the dial: its last frame shown
//                            again at once, over whatever covered it
//   listenToReadout          who is told what the readout says: at once, then on each change
//
// What the readout says: nothing before the views are set up; why, once the input failed;
// "input lost" (or that it is lost for good) while it is;
// "paused" while paused; otherwise the reading of the last dial refresh, steadied
// (views/steady_reading.h) so that its whole cents hold still through vibrato and noise,
// which a pause or a lost input empties (a reading from before them is stale). The dial
// itself is given each refresh's reading as it is.
//
// Thread: main thread only; the listener is called on it, from inside these verbs and
// from analyzeBlock.
#pragma once

#include <cstdint>
#include <string_view>

#include "views/views.h"

namespace veldra {

using ReadoutListener = void (*)(const Readout& readout);

// All of the tuner's own state.
struct TunerState {
    bool started;              // the views are set up: set by startTunerViews
    bool paused;               // set by pauseTuner, cleared by resumeTuner; read by analyzeBlock
    bool inputLost;            // set and cleared by setInputLost
    bool inputLostForGood;     // with inputLost: it is not tried again; set by setInputLost
    Readout failure;           // the failed input's readout (kind InputFailed); Empty until
                               // setInputFailed
    PlayerChoices choices;     // the player's choices (tuner_choices.h): Guitar's standard
                               // tuning at start; set by applyTunerMode and
                               // applyTunerChoices
    Readout reading;           // the last dial refresh's reading, steadied (Empty when it
                               // was not stable); written by analyzeBlock, emptied by a
                               // pause or a lost input
    SteadyReading steadied;    // the stable readings behind reading; fed with it, emptied
                               // with it
    Readout readout;           // what the readout says: written only where it is told
    ReadoutListener listener;  // told each change of readout; set by listenToReadout
};

void pauseTuner();
void resumeTuner();
void setInputLost(bool lost, bool forGood = false);
void setInputFailed(std::string_view reason);

// The capture hand-off's wake-up (its CaptureReadyMessage): the waiting sound goes through
// the pipeline and true comes back. Any other message: false, nothing done.
bool handleTunerMessage(uint32_t message);

// A repaint that is to show the dial: the last frame composed and shown again, paused or
// not, so that what a menu or a dialog covered is the dial again at once, not at the next
// refresh (or, paused, never). Nothing before the views are set up.
void repaintTuner();

// listener (null: nobody) is told what the readout says now, and from then on each change.
void listenToReadout(ReadoutListener listener);

// Read-only view.
const TunerState& tunerState();

// Back to the start values (nobody listening); resetTuner calls it.
void resetTunerState();

}  // namespace veldra

// The block pipeline: the one entry through which captured sound reaches the tuner.
//
// The capture hand-off calls analyzeBlock once per block of captured samples, in capture
// order. Every block runs the level tracker (and through it the period validator) and
// the phase-portrait trace; at each refresh point, ten per second of sound, the current
// smoothed period becomes a frequency for the tuning dial and the composed frame goes to
// the screen, after which the ink fades, and the tuner's state hears the reading (what
// the readout says).
//
// Refresh points are counted in samples, not in wall-clock time: one per
// sampleRate / refreshDivisor samples (2205), whatever the blocks' size, so the
// frame rate follows the audio clock. With 220-sample blocks they fall on blocks 11, 21,
// ..., 431, 442, 452, ... (the remainder shrinks by 5 samples per refresh). After n
// samples in all, (n - 1) / 2205 refresh points have passed; a block that spans more
// than one shows one frame and drops the others.
//
// Order within one call: hearDigitalSilence (digital_silence.h); trackBlock; currentPeriod;
// at a refresh point updateDial; drawTrace; at a refresh point presentFrame, then fadeInk.
// The dial and the trace are handed what they show: the frequency of the smoothed period,
// the stable flag and the most recently listed period with its frequency.
//   - While the tuner is paused or its input is lost (tuner_state.h) the block is counted
//     toward the refresh phase but nothing else happens: no analysis, no drawing. (Sound
//     drained after the loss was told would draw again the needle that the loss took off,
//     the analysis still holding the note, and nothing would come to take it off again.)
//   - With backlog (more sound already waiting) the block is analysed and the trace keeps
//     its history, but nothing is drawn or shown; a refresh point that falls on such a
//     block is dropped, not postponed.
//
// Thread: main thread only; no locking.
#pragma once

#include <cstdint>

namespace veldra {

// All of the pipeline's state.
struct PipelineState {
    int32_t refreshDivisor;      // display refreshes per second of sound; the shell sets 10
    int32_t refreshAccumulator;  // samples counted since the last refresh point, 1..interval
                                 // once any were counted; never reset
    int32_t dialRefreshes;       // refresh points that reached the dial; written by
                                 // analyzeBlock, read by the tools' and the browser's loops
                                 // to know when the dial moved
    float shownFrequency;        // the frequency given to the dial at the last of them, Hz
    bool shownStable;            // the stable flag given with it
    bool drawsScreen;            // false: the dial reads as usual but nothing is drawn or
                                 // composed (a tool that shows no picture); true at start
};

// Analyses count samples (count >= 1); see above. block is only read during the call.
void analyzeBlock(const int16_t* block, int32_t count, bool backlog);

// Takes the moving marks off the screen at once: the ink cleared and a frame shown with the
// scale alone (unless the tuner is paused), so that a stalled input never leaves a needle
// that looks live. The next refresh draws as usual.
void clearShownReading();

// Sets refreshes per second. Returns false and changes nothing for a value below 1 or
// above the sample rate (an interval of no samples).
bool setRefreshDivisor(int32_t divisor);

// Read-only view.
const PipelineState& pipelineState();

// The input conditioning before the analysis (conditioning/): on, as after every start,
// or off (--raw: the analysis and the trace read the blocks as they come).
void setInputConditioning(bool on);

// Whether blocks draw the trace and refresh points compose and fade the screen. Off, the
// analysis, the dial's reading and the trace's history run as with it on; only the
// drawing is left out, for a tool whose run shows no picture.
void setScreenDrawing(bool on);

// Back to the start values: divisor 10, nothing counted, the screen drawn.
void resetBlockPipeline();

}  // namespace veldra

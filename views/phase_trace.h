// The phase-portrait trace: the waveform drawn in the middle of the dial, each sample
// plotted (y) against the sample traceDelay earlier (x). With the delay a quarter of the
// pitch period a pure tone draws a circle and overtones bend it into loops; the points
// go into InkLayer and fade with it, leaving a trail of the last blocks.
//
// The delay follows a quarter of the most recent listed period (autoDelay), which the
// caller hands in with each block. Because it
// reaches back across block boundaries, the trace keeps the previous block's last
// traceDelay + 1 samples in traceHistory, so every pair of samples is plotted exactly once.
//
// Units: samples are 16-bit sample units, delays in samples, points in pixels of the
// drawing area (a positive sample is plotted below the origin, a positive delayed sample
// to its right). Integer only, apart from reading the period once per block.
// Thread: main thread only (drawTrace from analyzeBlock, the setters from the shell).
#pragma once

#include <cstdint>

namespace veldra {

inline constexpr int32_t traceHistoryLength = 512;

// All of the trace's state.
struct TraceState {
    int16_t originX;     // x of the point of two zero samples; setTraceOrigin (shell: 117)
    int16_t originY;     // its y; setTraceOrigin (shell: 128)
    int16_t traceShift;  // samples are shifted right by this before plotting (shell: 10)
    int32_t traceDelay;  // samples between a point's x and y sample; 2 < delay < 512
    bool autoDelay;      // traceDelay follows a quarter of the recent period; setTraceAutoDelay
    int16_t traceHistory[traceHistoryLength];  // previous block's last traceDelay + 1 samples,
                                               // oldest first
};

// Stores the origin and the shift (their low 16 bits).
void setTraceOrigin(int32_t x, int32_t y, int32_t shift);

void setTraceAutoDelay(bool on);

// Plots one point per sample unless backlog, then updates the delay from listedPeriod (the
// most recent listed period in samples, 0.0 when none) and keeps the block's tail for the
// next block. The delay found in a block applies from the next one. count >= 1; blocks
// shorter than the delay are bridged by the history.
void drawTrace(const int16_t* samples, int32_t count, bool backlog, double listedPeriod);

// Read-only view for tests.
const TraceState& traceState();

// Back to the start values: origin (120, 120), shift 8, delay 50, autoDelay on, history 0.
void resetTrace();

}  // namespace veldra

// The readout's steadied pitch: what the words, their colour and the fine meter show, so
// that whole cents do not hop with vibrato and noise while a real change of pitch still
// shows at once. The dial keeps the raw reading; only the readout is steadied.
//
// Fed one stable dial reading per refresh (ten a second), it keeps the readings since the
// pitch last moved, up to steadyWindow of them, in cents (1200 log2 of the frequency):
//   - the first reading after none is shown as it is;
//   - a move: the two newest readings agree with each other and both lie beyond the
//     window's spread (at least minimumMove cents) on the same side of what is shown. A
//     vibrato's readings swing to both sides of its centre, so they never qualify; a note
//     changed or a peg turned does within two refreshes. The window restarts at the newest;
//   - otherwise what is shown moves to the window's interquartile mean (the mean of its
//     middle half, so a stray reading pulls nothing) only when that lies further away than
//     the mean itself may wander: a quarter of a cent plus half the window's spread over
//     the root of its count. The wider the readings swing, and the fewer there are, the
//     more it takes to change the number; a steady tone's is held to a quarter cent.
//
// Units: cents (1200 per octave) from 1 Hz, in double precision; frequencies in Hz.
// Thread: any, one record per caller. No allocation.
#pragma once

#include <cstdint>

namespace veldra {

inline constexpr int32_t steadyWindow = 20;  // readings, two seconds of refreshes

struct SteadyReading {
    double recent[steadyWindow];  // cents of the readings since the last move, a ring
    int32_t count;                // readings in recent, 0 .. steadyWindow (0: none shown)
    int32_t next;                 // where the next reading goes in recent
    double shownCents;            // what is shown, in cents; valid while count > 0
    float shownFrequency;         // the same in Hz: a reading itself when one was shown
};

// A stable reading of frequency Hz (> 0): the frequency the readout shows now.
float steadyReading(SteadyReading& steady, float frequency);

// No reading (the dial not stable, a pause, a lost input): the next one is shown as it is.
void resetSteadyReading(SteadyReading& steady);

}  // namespace veldra

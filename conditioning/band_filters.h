// Band filters: second-order sections for the conditioning stage, designed in double and
// run in single precision.
//
// A section is a biquad in transposed direct form II (two state values), designed by the
// bilinear transform with the corner pre-warped, so that a corner of f Hz lands on f.
// Butterworth responses of order 2n are n sections with the Q values butterworthQ gives.
// Redesigning a running section keeps its state, so a band can move while sound flows
// (a small transient, no click to full scale).
//
// Units: frequencies in Hz, rates in samples per second, samples in float sample units.
// Thread: any; no shared state.
#pragma once

#include <cstdint>

namespace veldra {

// One second-order section: coefficients (a0 normalised to 1) and state.
struct Biquad {
    float b0, b1, b2;  // feed-forward coefficients
    float a1, a2;      // feedback coefficients, signs as in y = b.x - a.y
    float z1, z2;      // transposed direct form II state; 0 at rest
};

// Q of section k (0-based) of a Butterworth filter of order 2 * sections.
double butterworthQ(int32_t k, int32_t sections);

// Sets q's coefficients to a low-pass or high-pass of corner hz and quality qFactor at
// rate; the state is left as it is. hz is clamped below the Nyquist frequency.
void designLowPass(Biquad& q, double hz, double qFactor, double rate);
void designHighPass(Biquad& q, double hz, double qFactor, double rate);

// One sample through q.
inline float runBiquad(Biquad& q, float x) {
    const float y = q.b0 * x + q.z1;
    q.z1 = q.b1 * x - q.a1 * y + q.z2;
    q.z2 = q.b2 * x - q.a2 * y;
    return y;
}

}  // namespace veldra

// The built-in demo performance: a sound for trying the tuner without a microphone.
//
// Six open guitar strings plucked one after another, low E to high E, each ringing with a
// few harmonics that die away faster than the fundamental, with a short silence between
// them; the A string is played 15 cents flat and the G string 10 cents sharp. Then a sung
// "ah" holds A3, glides slowly up one semitone and holds A#3.
//
// Pitches are on the tuner's own scale, where C1 is 32.7 Hz (so A4 is 439.96 Hz, not
// 440): a string played "in tune" here shows 0 cents on the dial, and the two detuned
// ones show exactly their detuning. A note at pitch position p (octaves above C0) and
// c cents sounds at 32.7 * 2^(p - 1 + c / 1200) Hz.
//
// The sound is mono 16-bit at whatever rate it is asked for, computed sample by sample
// from its position alone, so it is the same however it is pulled and on every run. It
// starts and ends in silence, so looping it joins without a click.
//
// Thread: a DemoSound belongs to one thread at a time; the parts table is constant.
#pragma once

#include <array>
#include <cstdint>

namespace veldra {

inline constexpr int32_t demoPartCount = 7;

enum class DemoPartKind { Pluck, Vowel };

// One note of the performance.
struct DemoPart {
    DemoPartKind kind;
    const char* note;  // its name on the tuner, "E 2" style: letter, '#' or blank, octave
    double position;   // pitch position of that note, octaves above C0
    double cents;      // how far off the note it is played (at its start)
    double glide;      // semitones it rises over its glide (0 for a pluck)
    int32_t start;     // first sample of the part, from the start of the performance
    int32_t length;    // samples it sounds; silence follows until the next part
};

// A listener's place in the performance, at one rate.
struct DemoSound {
    int32_t samplesPerSecond;                   // the rate it is made at
    std::array<DemoPart, demoPartCount> parts;  // in the order they sound, timed at that rate
    int64_t length;                             // samples in one pass, the final silence included
    int64_t position;                           // next sample to give, 0..length
    bool loop;                                  // at the end, start again instead of stopping
};

// Back to the first sample, made at samplesPerSecond from now on.
void resetDemoSound(DemoSound& sound, int32_t samplesPerSecond, bool loop);

// Writes up to count samples and returns how many: count, unless the performance ends
// (never when looping). 0 once it has ended.
int32_t pullDemoSound(DemoSound& sound, int16_t* out, int32_t count);

}  // namespace veldra

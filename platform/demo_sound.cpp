// Sections: [script] the parts and their timing; [voices] the plucked string and the
// sung vowel as functions of time; [stream] pulling samples.
#include "platform/demo_sound.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace veldra {
namespace {

// ---- [script] --------------------------------------------------------------------------

constexpr int32_t ms(int32_t milliseconds) { return milliseconds * demoSoundRate / 1000; }

constexpr int32_t leadIn = ms(250);      // silence before the first string
constexpr int32_t pluckLength = ms(2200);
constexpr int32_t gap = ms(450);         // silence between notes
constexpr int32_t vowelHold = ms(900);   // the vowel's steady start and end
constexpr int32_t vowelGlide = ms(3000);
constexpr int32_t vowelLength = 2 * vowelHold + vowelGlide;
constexpr int32_t tail = ms(500);        // silence after the vowel, before a loop restarts

constexpr int32_t pluckStart(int32_t i) { return leadIn + i * (pluckLength + gap); }

// Positions as the tuner's string table has them: octave + semitone / 12.
constexpr std::array<DemoPart, 7> parts = {{
    {DemoPartKind::Pluck, "E 2", 2 + 4 / 12.0, 0.0, 0.0, pluckStart(0), pluckLength},
    {DemoPartKind::Pluck, "A 2", 2 + 9 / 12.0, -15.0, 0.0, pluckStart(1), pluckLength},
    {DemoPartKind::Pluck, "D 3", 3 + 2 / 12.0, 0.0, 0.0, pluckStart(2), pluckLength},
    {DemoPartKind::Pluck, "G 3", 3 + 7 / 12.0, 10.0, 0.0, pluckStart(3), pluckLength},
    {DemoPartKind::Pluck, "B 3", 3 + 11 / 12.0, 0.0, 0.0, pluckStart(4), pluckLength},
    {DemoPartKind::Pluck, "E 4", 4 + 4 / 12.0, 0.0, 0.0, pluckStart(5), pluckLength},
    {DemoPartKind::Vowel, "A 3", 3 + 9 / 12.0, 0.0, 1.0, pluckStart(6), vowelLength},
}};

constexpr int64_t performanceLength = pluckStart(6) + vowelLength + tail;

// ---- [voices] --------------------------------------------------------------------------

constexpr double twoPi = 6.283185307179586;
constexpr double fullScale = 32767.0;

// Hz of a pitch position plus cents on the tuner's scale (C1 = 32.7 Hz).
double tunerHz(double position, double cents) { return 32.7 * std::exp2(position - 1.0 + cents / 1200.0); }

// A raised-cosine fade from 0 to 1 over length seconds.
double fadeIn(double t, double length) { return t >= length ? 1.0 : 0.5 - 0.5 * std::cos(M_PI * t / length); }

// Start and end of a note: no click at either edge.
double edges(double t, double length, double attack, double release) {
    return fadeIn(t, attack) * fadeIn(length - t, release);
}

// A string plucked at a fifth of its length: harmonic n starts at |sin(n pi / 5)| / n of
// the whole, so the fifth is missing, and each dies away faster than the one below it.
constexpr int pluckHarmonics = 6;
constexpr double pluckPeak = 0.7;           // of full scale, at the attack
constexpr double pluckDecay = 1.3;          // seconds for the fundamental to fall to 1/e
constexpr double pluckDecayGrowth = 0.6;    // harmonic n decays 1 + 0.6 (n - 1) times as fast

double pluck(const DemoPart& part, double t) {
    const double hz = tunerHz(part.position, part.cents);
    const double length = static_cast<double>(part.length) / demoSoundRate;
    double sum = 0.0, weights = 0.0;
    for (int n = 1; n <= pluckHarmonics; ++n) {
        const double weight = std::fabs(std::sin(n * M_PI / 5.0)) / n;
        const double decay = pluckDecay / (1.0 + pluckDecayGrowth * (n - 1));
        sum += weight * std::exp(-t / decay) * std::sin(twoPi * n * hz * t);
        weights += weight;
    }
    return pluckPeak * edges(t, length, 0.004, 0.08) * sum / weights;
}

// The phase, in turns, of a tone that holds f0, rises by `glide` semitones over the glide
// time along an exponential curve, and holds there: the integral of its frequency.
double vowelTurns(const DemoPart& part, double t) {
    const double f0 = tunerHz(part.position, part.cents);
    const double hold = static_cast<double>(vowelHold) / demoSoundRate;
    const double glide = static_cast<double>(vowelGlide) / demoSoundRate;
    if (t <= hold) return f0 * t;
    const double g = std::min(t - hold, glide);
    const double rate = part.glide / 12.0 / glide;  // octaves per second while gliding
    const double gliding = f0 * (std::exp2(rate * g) - 1.0) / (rate * std::log(2.0));
    const double after = std::max(0.0, t - hold - glide) * f0 * std::exp2(part.glide / 12.0);
    return f0 * hold + gliding + after;
}

// A sung "ah": harmonics up to 3.5 kHz falling as 1/n, lifted near the vowel's three
// formants (700, 1220 and 2600 Hz) by resonance curves of the given bandwidths.
constexpr int vowelHarmonics = 16;
constexpr double vowelPeak = 0.5;
struct Formant {
    double hz, bandwidth, gain;
};
constexpr Formant formants[] = {{700, 130, 1.0}, {1220, 70, 0.5}, {2600, 160, 0.25}};

double vowelWeight(int n, double hz) {
    const double f = n * hz;
    if (f > 3500.0) return 0.0;
    double lift = 0.3;
    for (const Formant& F : formants) {
        const double x = (f - F.hz) / (F.bandwidth / 2);
        lift += F.gain / (1.0 + x * x);
    }
    return lift / n;
}

double vowel(const DemoPart& part, double t) {
    // The harmonic weights follow the start pitch; a semitone moves the formants' effect
    // too little to hear or to matter to the tuner.
    const double hz = tunerHz(part.position, part.cents);
    const double length = static_cast<double>(part.length) / demoSoundRate;
    const double turns = vowelTurns(part, t);
    const double cycle = turns - std::floor(turns);  // keep sin's argument small
    double sum = 0.0, weights = 0.0;
    for (int n = 1; n <= vowelHarmonics; ++n) {
        const double w = vowelWeight(n, hz);
        sum += w * std::sin(twoPi * n * cycle);
        weights += w;
    }
    return vowelPeak * edges(t, length, 0.12, 0.25) * sum / weights;
}

// The sample at a place in the performance, as a fraction of full scale.
double performanceAt(int64_t position) {
    for (const DemoPart& part : parts) {
        if (position < part.start || position >= part.start + part.length) continue;
        const double t = static_cast<double>(position - part.start) / demoSoundRate;
        return part.kind == DemoPartKind::Pluck ? pluck(part, t) : vowel(part, t);
    }
    return 0.0;
}

}  // namespace

// ---- [stream] --------------------------------------------------------------------------

std::span<const DemoPart> demoParts() { return parts; }

int64_t demoSoundLength() { return performanceLength; }

double demoPartFrequency(const DemoPart& part, double seconds) {
    if (part.kind == DemoPartKind::Pluck) return tunerHz(part.position, part.cents);
    const double hold = static_cast<double>(vowelHold) / demoSoundRate;
    const double glide = static_cast<double>(vowelGlide) / demoSoundRate;
    const double progress = std::clamp((seconds - hold) / glide, 0.0, 1.0);
    return tunerHz(part.position, part.cents + 100.0 * part.glide * progress);
}

void resetDemoSound(DemoSound& sound, bool loop) {
    sound.position = 0;
    sound.loop = loop;
}

int32_t pullDemoSound(DemoSound& sound, int16_t* out, int32_t count) {
    int32_t written = 0;
    while (written < count) {
        if (sound.position >= performanceLength) {
            if (!sound.loop) break;
            sound.position = 0;
        }
        const double v = std::clamp(performanceAt(sound.position) * fullScale, -fullScale, fullScale);
        out[written++] = static_cast<int16_t>(v);
        ++sound.position;
    }
    return written;
}

}  // namespace veldra

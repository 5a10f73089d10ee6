// Sections: script: the parts and their timing; voices: the plucked string and the
// sung vowel as functions of time; stream: pulling samples.
#include "platform/sound_files/demo_sound.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace veldra {
namespace {

// ---- script ----
constexpr int32_t samplesOf(int32_t milliseconds, int32_t rate) {
    return milliseconds * rate / 1000;
}

// The timing in milliseconds, each span turned into samples on its own (as the parts'
// places are sums of those), so that a rate gives the same samples wherever it is used.
constexpr int32_t leadInMs = 250;  // silence before the first string
constexpr int32_t pluckMs = 2200;
constexpr int32_t gapMs = 450;        // silence between notes
constexpr int32_t vowelHoldMs = 900;  // the vowel's steady start and end
constexpr int32_t vowelGlideMs = 3000;
constexpr int32_t tailMs = 500;  // silence after the vowel, before a loop restarts

// Positions as the tuner's string table has them: octave + semitone / 12. Places and
// lengths are filled in for a rate by resetDemoSound.
constexpr std::array<DemoPart, demoPartCount> script = {{
    {DemoPartKind::Pluck, "E 2", 2 + 4 / 12.0, 0.0, 0.0, 0, 0},
    {DemoPartKind::Pluck, "A 2", 2 + 9 / 12.0, -15.0, 0.0, 0, 0},
    {DemoPartKind::Pluck, "D 3", 3 + 2 / 12.0, 0.0, 0.0, 0, 0},
    {DemoPartKind::Pluck, "G 3", 3 + 7 / 12.0, 10.0, 0.0, 0, 0},
    {DemoPartKind::Pluck, "B 3", 3 + 11 / 12.0, 0.0, 0.0, 0, 0},
    {DemoPartKind::Pluck, "E 4", 4 + 4 / 12.0, 0.0, 0.0, 0, 0},
    {DemoPartKind::Vowel, "A 3", 3 + 9 / 12.0, 0.0, 1.0, 0, 0},
}};

// ---- voices ----
constexpr double twoPi = 6.283185307179586;
constexpr double fullScale = 32767.0;

// Hz of a pitch position plus cents on the tuner's scale (C1 = 32.7 Hz).
double tunerHz(double position, double cents) {
    return 32.7 * std::exp2(position - 1.0 + cents / 1200.0);
}

// A raised-cosine fade from 0 to 1 over length seconds.
double fadeIn(double t, double length) {
    return t >= length ? 1.0 : 0.5 - 0.5 * std::cos(M_PI * t / length);
}

// Start and end of a note: no click at either edge.
double edges(double t, double length, double attack, double release) {
    return fadeIn(t, attack) * fadeIn(length - t, release);
}

// A string plucked at a fifth of its length: harmonic n starts at |sin(n pi / 5)| / n of
// the whole, so the fifth is missing, and each dies away faster than the one below it.
constexpr int pluckHarmonics = 6;
constexpr double pluckPeak = 0.7;         // of full scale, at the attack
constexpr double pluckDecay = 1.3;        // seconds for the fundamental to fall to 1/e
constexpr double pluckDecayGrowth = 0.6;  // harmonic n decays 1 + 0.6 (n - 1) times as fast

double pluck(const DemoPart& part, double t, double rate) {
    const double hz = tunerHz(part.position, part.cents);
    const double length = static_cast<double>(part.length) / rate;
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
double vowelTurns(const DemoPart& part, double t, int32_t samplesPerSecond) {
    const double f0 = tunerHz(part.position, part.cents);
    const double hold =
        static_cast<double>(samplesOf(vowelHoldMs, samplesPerSecond)) / samplesPerSecond;
    const double glide =
        static_cast<double>(samplesOf(vowelGlideMs, samplesPerSecond)) / samplesPerSecond;
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

double vowel(const DemoPart& part, double t, int32_t rate) {
    // The harmonic weights follow the start pitch; a semitone moves the formants' effect
    // too little to hear or to matter to the tuner.
    const double hz = tunerHz(part.position, part.cents);
    const double length = static_cast<double>(part.length) / rate;
    const double turns = vowelTurns(part, t, rate);
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
double performanceAt(const DemoSound& sound, int64_t position) {
    for (const DemoPart& part : sound.parts) {
        if (position < part.start || position >= part.start + part.length) continue;
        const double t = static_cast<double>(position - part.start) / sound.samplesPerSecond;
        return part.kind == DemoPartKind::Pluck ? pluck(part, t, sound.samplesPerSecond)
                                                : vowel(part, t, sound.samplesPerSecond);
    }
    return 0.0;
}

}  // namespace

// ---- stream ----
void resetDemoSound(DemoSound& sound, int32_t samplesPerSecond, bool loop) {
    const int32_t rate = samplesPerSecond;
    const int32_t pluckLength = samplesOf(pluckMs, rate);
    const int32_t vowelLength = 2 * samplesOf(vowelHoldMs, rate) + samplesOf(vowelGlideMs, rate);
    sound.samplesPerSecond = rate;
    sound.parts = script;
    for (int32_t i = 0; i < demoPartCount; ++i) {
        DemoPart& part = sound.parts[static_cast<size_t>(i)];
        part.start = samplesOf(leadInMs, rate) + i * (pluckLength + samplesOf(gapMs, rate));
        part.length = part.kind == DemoPartKind::Pluck ? pluckLength : vowelLength;
    }
    const DemoPart& last = sound.parts.back();
    sound.length = last.start + last.length + samplesOf(tailMs, rate);
    sound.position = 0;
    sound.loop = loop;
}

int32_t pullDemoSound(DemoSound& sound, int16_t* out, int32_t count) {
    int32_t written = 0;
    while (written < count) {
        if (sound.position >= sound.length) {
            if (!sound.loop) break;
            sound.position = 0;
        }
        const double v =
            std::clamp(performanceAt(sound, sound.position) * fullScale, -fullScale, fullScale);
        out[written++] = static_cast<int16_t>(v);
        ++sound.position;
    }
    return written;
}

}  // namespace veldra

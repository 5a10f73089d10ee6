// The demo performance as the tuner hears it: each string found on its note with its
// detuning, the vowel's glide, real harmonics, silent gaps, and a seamless loop.
#include "platform/demo_sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"

namespace veldra {
namespace {

std::vector<int16_t> wholePerformance() {
    DemoSound sound;
    resetDemoSound(sound, false);
    std::vector<int16_t> samples(static_cast<size_t>(demoSoundLength()) + 1000);
    samples.resize(static_cast<size_t>(pullDemoSound(sound, samples.data(), static_cast<int32_t>(samples.size()))));
    return samples;
}

// What the tuner shows ten times a second: the stable flag and the pitch in octaves
// above C0 of the frequency the dial would be given.
struct Reading {
    double seconds;
    bool stable;
    double position;  // log2(f / 16.35), the tuner's scale (C1 = 32.7 Hz)
};

std::vector<Reading> tunerReadings(const std::vector<int16_t>& samples) {
    resetDetector();
    resetValidator();
    setAnalysisRate(22050);
    std::vector<Reading> readings;
    int32_t accumulator = 0;
    for (size_t at = 0; at + 220 <= samples.size(); at += 220) {
        const bool stable = trackBlock(&samples[at], 220);
        accumulator += 220;
        if (accumulator <= 2205) continue;
        accumulator -= 2205;
        const double period = currentPeriod();
        const double hz = 22050.0 / (period == 0.0 ? 1.0 : period);
        readings.push_back({static_cast<double>(at + 220) / 22050, stable, std::log2(hz / 16.35)});
    }
    return readings;
}

// The readings inside [from, to) seconds.
std::vector<Reading> between(const std::vector<Reading>& all, double from, double to) {
    std::vector<Reading> out;
    for (const Reading& r : all)
        if (r.seconds >= from && r.seconds < to) out.push_back(r);
    return out;
}

double startSeconds(const DemoPart& p) { return static_cast<double>(p.start) / demoSoundRate; }
double endSeconds(const DemoPart& p) { return static_cast<double>(p.start + p.length) / demoSoundRate; }

TEST(DemoSoundTest, TunerFindsEachStringWithItsDetuning) {
    const std::vector<Reading> readings = tunerReadings(wholePerformance());
    const auto parts = demoParts();
    ASSERT_EQ(parts.size(), 7u);
    // Six strings, low to high, the A 15 cents flat and the G 10 cents sharp.
    const char* names[] = {"E 2", "A 2", "D 3", "G 3", "B 3", "E 4"};
    const double cents[] = {0, -15, 0, 10, 0, 0};
    for (int i = 0; i < 6; ++i) {
        const DemoPart& part = parts[i];
        SCOPED_TRACE(part.note);
        EXPECT_EQ(std::string(part.note), names[i]);
        EXPECT_EQ(part.kind, DemoPartKind::Pluck);
        // From the first half second on, while the string rings.
        const auto ringing = between(readings, startSeconds(part) + 0.5, endSeconds(part) - 0.2);
        ASSERT_GE(ringing.size(), 12u);
        for (const Reading& r : ringing) {
            ASSERT_TRUE(r.stable) << "at " << r.seconds << " s";
            const double semitones = r.position * 12;
            EXPECT_EQ(std::lround(semitones), std::lround(part.position * 12)) << "at " << r.seconds << " s";
            EXPECT_NEAR((semitones - std::round(part.position * 12)) * 100, cents[i], 1.5) << "at " << r.seconds << " s";
        }
    }
}

TEST(DemoSoundTest, SungVowelHoldsGlidesUpASemitoneAndHolds) {
    const std::vector<Reading> readings = tunerReadings(wholePerformance());
    const DemoPart& vowel = demoParts().back();
    EXPECT_EQ(vowel.kind, DemoPartKind::Vowel);
    const double a3 = 3 + 9 / 12.0;
    const auto sung = between(readings, startSeconds(vowel) + 0.3, endSeconds(vowel) - 0.3);
    ASSERT_GE(sung.size(), 30u);
    // Starts on A3, ends on A#3, within a cent and a half.
    EXPECT_NEAR((sung.front().position - a3) * 1200, 0.0, 1.5);
    EXPECT_NEAR((sung.back().position - a3) * 1200, 100.0, 1.5);
    // Slowly: never more than 5 cents per tenth of a second, and never down.
    for (size_t i = 1; i < sung.size(); ++i) {
        ASSERT_TRUE(sung[i].stable);
        const double step = (sung[i].position - sung[i - 1].position) * 1200;
        EXPECT_GT(step, -0.5) << "at " << sung[i].seconds << " s";
        EXPECT_LT(step, 5.0) << "at " << sung[i].seconds << " s";
    }
    // The stated glide and what is heard agree at its middle.
    const double middle = (startSeconds(vowel) + endSeconds(vowel)) / 2;
    const auto around = between(readings, middle, middle + 0.1);
    ASSERT_FALSE(around.empty());
    const double heard = std::log2(demoPartFrequency(vowel, around.front().seconds - startSeconds(vowel)) / 16.35);
    EXPECT_NEAR((around.front().position - heard) * 1200, 0.0, 3.0);
}

// Strength of one frequency in a stretch of samples (a single DFT bin).
double strength(const int16_t* s, size_t n, double hz) {
    double re = 0, im = 0;
    for (size_t i = 0; i < n; ++i) {
        re += s[i] * std::cos(2 * M_PI * hz * i / demoSoundRate);
        im += s[i] * std::sin(2 * M_PI * hz * i / demoSoundRate);
    }
    return std::hypot(re, im) / n;
}

TEST(DemoSoundTest, PlucksHaveHarmonicsThatFadeFasterThanTheFundamental) {
    const std::vector<int16_t> samples = wholePerformance();
    const DemoPart& d3 = demoParts()[2];
    const double hz = 32.7 * std::exp2(d3.position - 1);
    const size_t window = 22050 / 5;
    const int16_t* early = &samples[static_cast<size_t>(d3.start) + 500];
    const int16_t* late = &samples[static_cast<size_t>(d3.start + d3.length) - window - 3000];
    const double f1Early = strength(early, window, hz), f2Early = strength(early, window, 2 * hz);
    const double f1Late = strength(late, window, hz), f2Late = strength(late, window, 2 * hz);
    EXPECT_GT(f2Early / f1Early, 0.3) << "not a pure tone";
    EXPECT_LT(f2Late / f1Late, f2Early / f1Early / 2) << "the harmonic does not fade faster";
    EXPECT_LT(f1Late, f1Early / 2) << "no decay";
    // Loud enough for the tuner's level limit (a span of 1310) well into the note.
    int16_t high = 0, low = 0;
    for (size_t i = 0; i < window; ++i) high = std::max(high, late[i]), low = std::min(low, late[i]);
    EXPECT_GE(high - low, 1310 * 2);
}

TEST(DemoSoundTest, SilenceBetweenNotesAndAtBothEnds) {
    const std::vector<int16_t> samples = wholePerformance();
    ASSERT_EQ(static_cast<int64_t>(samples.size()), demoSoundLength());
    size_t from = 0;
    for (const DemoPart& part : demoParts()) {
        ASSERT_GE(static_cast<size_t>(part.start), from + 22050 / 5) << part.note << ": gap under 0.2 s";
        for (size_t i = from; i < static_cast<size_t>(part.start); ++i) ASSERT_EQ(samples[i], 0) << i;
        from = static_cast<size_t>(part.start + part.length);
    }
    for (size_t i = from; i < samples.size(); ++i) ASSERT_EQ(samples[i], 0) << i;
}

TEST(DemoSoundTest, LoopRepeatsExactlyWhateverTheChunkSize) {
    const std::vector<int16_t> once = wholePerformance();
    const size_t length = once.size();
    DemoSound sound;
    resetDemoSound(sound, true);
    std::vector<int16_t> looped(length * 2 + 5000);
    for (size_t at = 0; at < looped.size();) {
        const int32_t chunk = static_cast<int32_t>(std::min<size_t>(997, looped.size() - at));
        ASSERT_EQ(pullDemoSound(sound, &looped[at], chunk), chunk);
        at += static_cast<size_t>(chunk);
    }
    for (size_t i = 0; i < looped.size(); ++i) ASSERT_EQ(looped[i], once[i % length]) << i;

    // Without the loop the end is the end.
    resetDemoSound(sound, false);
    std::vector<int16_t> rest(length);
    ASSERT_EQ(pullDemoSound(sound, rest.data(), static_cast<int32_t>(length - 10)), static_cast<int32_t>(length - 10));
    EXPECT_EQ(pullDemoSound(sound, rest.data(), 220), 10);
    EXPECT_EQ(pullDemoSound(sound, rest.data(), 220), 0);
}

}  // namespace
}  // namespace veldra

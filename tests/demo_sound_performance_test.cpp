// The demo performance as sound: plucks with harmonics that fade faster than the
// fundamental and stay loud enough for the tuner, silence around every note, an exact
// loop. (What the tuner reads from it is checked in veldra_file_report_test.)
#include "platform/demo_sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace veldra {
namespace {

std::vector<int16_t> pull(bool looping, size_t count, size_t chunk) {
    DemoSound sound;
    resetDemoSound(sound, looping);
    std::vector<int16_t> samples(count);
    size_t at = 0;
    for (int32_t got = 1; got > 0 && at < count; at += static_cast<size_t>(got))
        got = pullDemoSound(sound, &samples[at], static_cast<int32_t>(std::min(chunk, count - at)));
    samples.resize(at);
    return samples;
}

// Strength of one frequency in 0.2 s from s (a single DFT bin).
double strength(const int16_t* s, double hz) {
    double re = 0, im = 0;
    for (size_t i = 0; i < 22050 / 5; ++i) {
        re += s[i] * std::cos(2 * M_PI * hz * i / demoSoundRate);
        im += s[i] * std::sin(2 * M_PI * hz * i / demoSoundRate);
    }
    return std::hypot(re, im) / (22050 / 5);
}

// Early in each pluck the second harmonic is strong, late it has faded more than the
// fundamental, which has decayed but still spans well above the tuner's level limit
// (an envelope span of 1310).
TEST(DemoSoundTest, PlucksHaveHarmonicsThatFadeFasterThanTheFundamental) {
    const std::vector<int16_t> samples = pull(false, demoSoundLength(), demoSoundLength());
    for (const DemoPart& part : demoParts().first(6)) {
        SCOPED_TRACE(part.note);
        const double hz = 32.7 * std::exp2(part.position - 1 + part.cents / 1200);
        const int16_t* early = &samples[part.start + 500];
        const int16_t* late = &samples[part.start + part.length - 22050 / 5 - 3000];
        const double ratioEarly = strength(early, 2 * hz) / strength(early, hz);
        EXPECT_GT(ratioEarly, 0.3) << "not a pure tone";
        EXPECT_LT(strength(late, 2 * hz) / strength(late, hz), ratioEarly / 2);
        EXPECT_LT(strength(late, hz), strength(early, hz) / 2) << "no decay";
        const auto [low, high] = std::minmax_element(late, late + 22050 / 5);
        EXPECT_GE(*high - *low, 2 * 1310);
    }
}

// At least 0.2 s of silence before every note and after the last; looping, pulled in
// chunks that do not divide the length, the same sound again.
TEST(DemoSoundTest, SilenceAroundEveryNoteAndAnExactLoop) {
    const std::vector<int16_t> once = pull(false, demoSoundLength() + 1000, 1 << 20);
    ASSERT_EQ(static_cast<int64_t>(once.size()), demoSoundLength());
    const auto silent = [&](size_t from, size_t to) {
        return std::all_of(&once[from], &once[0] + to, [](int16_t v) { return v == 0; });
    };
    size_t from = 0;
    for (const DemoPart& part : demoParts()) {
        ASSERT_GE(static_cast<size_t>(part.start), from + 22050 / 5) << part.note << ": a gap under 0.2 s";
        EXPECT_TRUE(silent(from, part.start)) << part.note;
        from = static_cast<size_t>(part.start + part.length);
    }
    EXPECT_TRUE(silent(from, once.size()));
    const std::vector<int16_t> looped = pull(true, once.size() * 2 + 5000, 997);
    ASSERT_EQ(looped.size(), once.size() * 2 + 5000);
    for (size_t i = 0; i < looped.size(); ++i) ASSERT_EQ(looped[i], once[i % once.size()]) << i;
}

}  // namespace
}  // namespace veldra

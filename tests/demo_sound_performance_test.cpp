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

std::vector<int16_t> wholePerformance() {
    DemoSound sound;
    resetDemoSound(sound, false);
    std::vector<int16_t> samples(static_cast<size_t>(demoSoundLength()) + 1000);
    samples.resize(static_cast<size_t>(pullDemoSound(sound, samples.data(), static_cast<int32_t>(samples.size()))));
    return samples;
}

// Strength of one frequency in n samples (a single DFT bin).
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
    for (const DemoPart& part : demoParts().first(6)) {
        SCOPED_TRACE(part.note);
        const double hz = 32.7 * std::exp2(part.position - 1 + part.cents / 1200);
        const size_t window = 22050 / 5;
        const int16_t* early = &samples[static_cast<size_t>(part.start) + 500];
        const int16_t* late = &samples[static_cast<size_t>(part.start + part.length) - window - 3000];
        const double ratioEarly = strength(early, window, 2 * hz) / strength(early, window, hz);
        EXPECT_GT(ratioEarly, 0.3) << "not a pure tone";
        EXPECT_LT(strength(late, window, 2 * hz) / strength(late, window, hz), ratioEarly / 2);
        EXPECT_LT(strength(late, window, hz), strength(early, window, hz) / 2) << "no decay";
        // Still well above the tuner's level limit (an envelope span of 1310) near the end.
        const auto [low, high] = std::minmax_element(late, late + window);
        EXPECT_GE(*high - *low, 2 * 1310);
    }
}

TEST(DemoSoundTest, SilenceAroundEveryNoteAndAnExactLoop) {
    const std::vector<int16_t> once = wholePerformance();
    ASSERT_EQ(static_cast<int64_t>(once.size()), demoSoundLength());
    size_t from = 0;
    for (const DemoPart& part : demoParts()) {
        ASSERT_GE(static_cast<size_t>(part.start), from + 22050 / 5) << part.note << ": a gap under 0.2 s";
        EXPECT_TRUE(std::all_of(&once[from], &once[static_cast<size_t>(part.start)], [](int16_t v) { return v == 0; }));
        from = static_cast<size_t>(part.start + part.length);
    }
    EXPECT_TRUE(std::all_of(once.begin() + static_cast<long>(from), once.end(), [](int16_t v) { return v == 0; }));

    // Looping, pulled in chunks that do not divide the length: the same sound again.
    DemoSound sound;
    resetDemoSound(sound, true);
    std::vector<int16_t> looped(once.size() * 2 + 5000);
    for (size_t at = 0; at < looped.size();) {
        const auto chunk = static_cast<int32_t>(std::min<size_t>(997, looped.size() - at));
        ASSERT_EQ(pullDemoSound(sound, &looped[at], chunk), chunk);
        at += static_cast<size_t>(chunk);
    }
    for (size_t i = 0; i < looped.size(); ++i) ASSERT_EQ(looped[i], once[i % once.size()]) << i;
}

}  // namespace
}  // namespace veldra

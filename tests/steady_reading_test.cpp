// The readout's steadied pitch: alone on readings, and through the tuner on a vibrato and
// a step.
#include "views/steady_reading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <vector>

#include "analysis/analysis.h"
#include "display/display.h"
#include "tests/support/tuner_setup.h"
#include "tuner/tuner.h"
#include "views/views.h"

namespace veldra {
namespace {

constexpr double base = 220.0;  // Hz; the readings below are cents from it

float at(double cents) {
    return static_cast<float>(base * std::exp2(cents / 1200.0));
}

double centsOf(float frequency) {
    return 1200.0 * std::log2(frequency / base);
}

// Fed one reading per refresh (ten a second).
TEST(SteadyReadingTest, AStrayMovesNothingAMoveShowsOnItsSecondReadingAResetShowsTheNext) {
    SteadyReading s{};
    EXPECT_EQ(steadyReading(s, at(2.3)), at(2.3));  // the first reading as it is
    for (const double jitter : {-1.0, 0.8, -0.4, 1.0, 0.1, -0.9, 0.6})
        EXPECT_EQ(std::lround(centsOf(steadyReading(s, at(2.0 + jitter)))), 2) << jitter;
    // One reading 40 cents off (a bow's scratch) is a stray; two are a move.
    EXPECT_EQ(std::lround(centsOf(steadyReading(s, at(42.0)))), 2);
    EXPECT_EQ(steadyReading(s, at(42.2)), at(42.2));
    // A move smaller than a stray can be, 3 cents: the middle of the readings carries it.
    int32_t readings = 0;
    while (std::lround(centsOf(steadyReading(s, at(45.2)))) != 45 && readings < 30)
        ++readings;
    EXPECT_LE(readings, 10);
    resetSteadyReading(s);  // once the reading was gone, the next is shown however far
    EXPECT_EQ(steadyReading(s, at(-31.0)), at(-31.0));
    EXPECT_EQ(steadyReading(s, 0.0f), 0.0f);  // no pitch: nothing kept
    EXPECT_EQ(steadyReading(s, at(10.0)), at(10.0));
}

// A peg turned at 10 cents a second: the cents shown trail by at most about half a second.
TEST(SteadyReadingTest, AGlideIsFollowed) {
    SteadyReading s{};
    for (int32_t i = 0; i < 60; ++i)
        EXPECT_NEAR(centsOf(steadyReading(s, at(-30.0 + i))), -30.0 + i, 6.0) << i;
}

// Eight harmonics falling as 1/k, the pitch cents(t) cents from frequency at t seconds.
std::vector<int16_t> tone(double frequency, double seconds,
                          const std::function<double(double)>& cents) {
    std::vector<int16_t> samples(static_cast<size_t>(seconds * sampleRate));
    double phase = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        phase += 2.0 * std::numbers::pi * frequency * std::exp2(cents(t) / 1200.0) / sampleRate;
        double v = 0.0;
        for (int32_t k = 1; k <= 8; ++k)
            v += std::sin(k * phase) / k;
        samples[i] = static_cast<int16_t>(6000.0 * v);
    }
    return samples;
}

struct Shown {
    double time;       // s of sound at the refresh
    int32_t cents;     // the whole cents the readout says
    int32_t rawCents;  // the same for the dial's own reading at that refresh
    ReadoutWords words;
};

class SteadyReadoutTest : public ::testing::Test {
  protected:
    void SetUp() override { startTunerModules(); }
    void TearDown() override { resetDisplay(); }

    // Every refresh's readout, each a reading. (Its colour and meter: views_test.)
    static std::vector<Shown> readout(const std::vector<int16_t>& sound) {
        std::vector<Shown> shown;
        for (size_t at = 0; at + 220 <= sound.size(); at += 220) {
            const int32_t before = pipelineState().dialRefreshes;
            analyzeBlock(&sound[at], 220, false);
            if (pipelineState().dialRefreshes == before) continue;
            const ReadoutWords words = wordReadout(tunerState().readout);
            if (words.kind != ReadoutKind::Reading) {
                ADD_FAILURE() << "no reading at " << at;
                continue;
            }
            const auto raw = std::lround(nameNote(pipelineState().shownFrequency).cents);
            shown.push_back({static_cast<double>(at + 220) / sampleRate, std::atoi(words.cents),
                             static_cast<int32_t>(raw), words});
        }
        return shown;
    }
};

// The tuner's own A3 (C1 = 32.7 Hz), named from its place in the scale.
const double a3 = c1Frequency * std::exp2(2.0 + 9.0 / 12.0);

// A 5.5 Hz vibrato of +-30 cents: the dial swings with it, the cents shown change at most
// once a second and stay near the centre.
TEST_F(SteadyReadoutTest, ACentredVibratoChangesTheCentsAtMostOnceASecond) {
    const std::vector<Shown> shown = readout(
        tone(a3, 8.0, [](double t) { return 30.0 * std::sin(2.0 * std::numbers::pi * 5.5 * t); }));
    ASSERT_GT(shown.size(), 70u);
    int32_t rawChanges = 0;
    double lastChange = -1.0;
    for (size_t i = 1; i < shown.size(); ++i) {
        rawChanges += shown[i].rawCents != shown[i - 1].rawCents;
        if (shown[i].time < 1.0 || shown[i].cents == shown[i - 1].cents) continue;
        EXPECT_GE(shown[i].time - lastChange, 1.0) << "at " << shown[i].time;
        lastChange = shown[i].time;
    }
    EXPECT_GT(rawChanges, 40);  // what the readout said before it was steadied
    EXPECT_LE(std::abs(shown.back().cents), 3);
    EXPECT_TRUE(shown.back().words.centsInTune);
}

// A string retuned by 20 cents while it sounds: the new cents show within 0.3 s and hold.
TEST_F(SteadyReadoutTest, AStepOfTwentyCentsShowsWithinAThirdOfASecond) {
    for (const double step : {20.0, -20.0}) {
        const std::vector<Shown> shown =
            readout(tone(a3, 3.0, [step](double t) { return t < 2.0 ? 0.0 : step; }));
        for (const Shown& s : shown) {
            if (s.time >= 1.0 && s.time < 2.0) {
                EXPECT_EQ(s.cents, 0) << s.time;
            } else if (s.time >= 2.3) {
                EXPECT_NEAR(s.cents, step, 1.0) << s.time;
            }
        }
    }
}

}  // namespace
}  // namespace veldra

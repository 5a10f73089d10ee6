// The readout's steadied pitch: what it makes of readings alone (noise, a stray, a move, a
// glide, a reset), and through the whole tuner on synthesized tones: a centred vibrato
// holds its whole cents still while the dial's raw reading swings, and a step of 20 cents
// shows within 0.3 s.
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

// ---- The steadier alone, fed one reading per refresh (ten a second).

TEST(SteadyReadingTest, NoiseAndAStrayMoveNothingAndAResetShowsTheNextAsItIs) {
    SteadyReading s{};
    EXPECT_EQ(steadyReading(s, at(2.3)), at(2.3));  // the first reading as it is
    // Five seconds of readings scattered over 2 +- 1 cents: the whole cents hold.
    uint32_t noise = 12345;
    for (int32_t i = 0; i < 50; ++i) {
        noise = noise * 1103515245u + 12345u;
        const double jitter = ((noise >> 16) % 201) / 100.0 - 1.0;
        EXPECT_EQ(std::lround(centsOf(steadyReading(s, at(2.0 + jitter)))), 2) << i;
    }
    // One reading 40 cents off (a bow's scratch, a knock) is not a move.
    EXPECT_EQ(std::lround(centsOf(steadyReading(s, at(42.0)))), 2);
    EXPECT_EQ(std::lround(centsOf(steadyReading(s, at(2.0)))), 2);
    // Once the reading was gone, the next is shown as it is, however far.
    resetSteadyReading(s);
    EXPECT_EQ(steadyReading(s, at(-31.0)), at(-31.0));
    EXPECT_EQ(steadyReading(s, 0.0f), 0.0f);  // no pitch: nothing kept
    EXPECT_EQ(steadyReading(s, at(10.0)), at(10.0));
}

TEST(SteadyReadingTest, AMoveShowsOnItsSecondReadingASmallOneWithinASecond) {
    SteadyReading s{};
    for (int32_t i = 0; i < 20; ++i)
        steadyReading(s, at(0.0));
    EXPECT_LT(std::fabs(centsOf(steadyReading(s, at(7.0)))), 0.5);  // one reading: a stray?
    EXPECT_EQ(steadyReading(s, at(7.2)), at(7.2));                  // two: the pitch moved
    // A move smaller than a stray can be, 3 cents: the middle of the readings carries it.
    int32_t readings = 0;
    while (std::lround(centsOf(steadyReading(s, at(10.2)))) != 10 && readings < 30)
        ++readings;
    EXPECT_LE(readings, 10);
}

// A peg turned slowly, 10 cents a second: the cents shown trail by at most about half a
// second of the turn, so the player sees where the pitch goes while turning.
TEST(SteadyReadingTest, AGlideIsFollowed) {
    SteadyReading s{};
    for (int32_t i = 0; i < 60; ++i) {
        const double pitch = -30.0 + i;
        EXPECT_NEAR(centsOf(steadyReading(s, at(pitch))), pitch, 6.0) << i;
    }
}

// ---- Through the tuner: the readout of sound synthesized with its pitch as a function of
// time, read at every refresh.

// Eight harmonics falling as 1/k at 22050 Hz, the phase accumulated so that the pitch may
// move; cents(t) is the pitch in cents from frequency at t seconds.
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

    // Every refresh's readout over sound; each says a reading whose colour and meter agree
    // with the number it shows.
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
            const int32_t cents = std::atoi(words.cents);
            EXPECT_EQ(words.centsInTune, std::abs(cents) <= 5) << words.cents;
            EXPECT_EQ(words.meterCents, cents) << words.cents;
            const auto raw = std::lround(nameNote(pipelineState().shownFrequency).cents);
            shown.push_back({static_cast<double>(at + 220) / sampleRate, cents,
                             static_cast<int32_t>(raw), words});
        }
        return shown;
    }
};

// The tuner's own A3 (C1 = 32.7 Hz), named from its place in the scale.
const double a3 = c1Frequency * std::exp2(2.0 + 9.0 / 12.0);

// A singer's or violinist's vibrato, +-30 cents around the note: the dial swings with it at
// every refresh, the cents shown change at most once a second and stay near the centre.
TEST_F(SteadyReadoutTest, ACentredVibratoChangesTheCentsAtMostOnceASecond) {
    for (const double rate : {5.5, 5.0, 6.0}) {
        const std::vector<Shown> shown = readout(tone(a3, 8.0, [rate](double t) {
            return 30.0 * std::sin(2.0 * std::numbers::pi * rate * t);
        }));
        ASSERT_GT(shown.size(), 70u);
        int32_t rawChanges = 0;
        double lastChange = -1.0;
        for (size_t i = 1; i < shown.size(); ++i) {
            rawChanges += shown[i].rawCents != shown[i - 1].rawCents;
            if (shown[i].time < 1.0 || shown[i].cents == shown[i - 1].cents) continue;
            EXPECT_GE(shown[i].time - lastChange, 1.0) << rate << " Hz, at " << shown[i].time;
            lastChange = shown[i].time;
        }
        EXPECT_GT(rawChanges, 40) << rate;  // what the readout said before it was steadied
        EXPECT_LE(std::abs(shown.back().cents), 3) << rate;
        EXPECT_TRUE(shown.back().words.centsInTune);
    }
}

// A string retuned by 20 cents while it sounds: the new cents show within 0.3 s, up or
// down, and hold.
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

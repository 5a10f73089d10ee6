// The input conditioning through the tuner: what it must never do (read silence, faint
// noise or hum, move a clean tone, lag the raw road, allocate) and what it is for.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <numbers>
#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "conditioning/conditioning.h"
#include "tests/support/tuner_setup.h"
#include "tuner/tuner.h"

// The replaced operator delete frees what the replaced operator new took with malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

std::atomic<bool> countAllocations{false};
std::atomic<int> allocations{0};

}  // namespace

void* operator new(size_t size) {
    if (countAllocations) ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace veldra {
namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;
using Sound = std::vector<int16_t>;

// One reading per refresh: the frequency shown while stable, 0 while not.
struct Refresh {
    double seconds;
    double hz;
};

std::vector<Refresh> tune(const Sound& sound, InstrumentKind mode, bool conditioned) {
    startTunerModules();
    applyTunerMode(mode);
    setConditioning(conditioned);
    std::vector<Refresh> out;
    int32_t seen = pipelineState().dialRefreshes;
    for (size_t at = 0; at + captureBlockSamples <= sound.size(); at += captureBlockSamples) {
        analyzeBlock(&sound[at], captureBlockSamples, false);
        if (pipelineState().dialRefreshes != seen) {
            seen = pipelineState().dialRefreshes;
            const PipelineState& p = pipelineState();
            out.push_back({static_cast<double>(at + captureBlockSamples) / sampleRate,
                           p.shownStable ? static_cast<double>(p.shownFrequency) : 0.0});
        }
    }
    return out;
}

int readingsOf(const std::vector<Refresh>& refreshes) {
    return static_cast<int>(std::count_if(refreshes.begin(), refreshes.end(),
                                          [](const Refresh& r) { return r.hz > 0.0; }));
}

bool within10Cents(const Refresh& r, double hz) {
    return r.hz > 0.0 && std::fabs(1200.0 * std::log2(r.hz / hz)) <= 10.0;
}

// The median of the readings from `from` seconds on, in cents against hz (NAN without one).
double medianCents(const std::vector<Refresh>& refreshes, double hz, double from) {
    std::vector<double> cents;
    for (const Refresh& r : refreshes)
        if (r.seconds >= from && r.hz > 0.0) cents.push_back(1200.0 * std::log2(r.hz / hz));
    if (cents.empty()) return NAN;
    std::nth_element(cents.begin(), cents.begin() + cents.size() / 2, cents.end());
    return cents[cents.size() / 2];
}

// The share of refreshes from `from` seconds on that read within 10 cents of hz.
double shareRead(const std::vector<Refresh>& refreshes, double hz, double from) {
    int inside = 0, right = 0;
    for (const Refresh& r : refreshes)
        if (r.seconds >= from) ++inside, right += within10Cents(r, hz);
    return inside == 0 ? 0.0 : static_cast<double>(right) / inside;
}

// The first refresh, from `from` seconds on, that reads within 10 cents of hz (-1: none).
int firstRight(const std::vector<Refresh>& refreshes, double hz, double from) {
    for (size_t i = 0; i < refreshes.size(); ++i)
        if (refreshes[i].seconds >= from && within10Cents(refreshes[i], hz))
            return static_cast<int>(i);
    return -1;
}

// Sounds at 22050 Hz. The sine carries triangular dither, as a recording does: plain
// rounding repeats with the period and biases the raw reading by up to half a cent.
Sound sine(double hz, double seconds, double peak) {
    Sound s(static_cast<size_t>(seconds * sampleRate));
    uint32_t x = 2463534242u;
    const auto uniform = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return static_cast<double>(x) / 4294967296.0;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        const double v = peak * std::sin(twoPi * hz * static_cast<double>(i) / sampleRate);
        s[i] = static_cast<int16_t>(std::lround(v + uniform() - uniform()));
    }
    return s;
}

// A sawtooth of twelve harmonics.
Sound sawtooth(double hz, double seconds) {
    Sound s(static_cast<size_t>(seconds * sampleRate));
    for (size_t i = 0; i < s.size(); ++i) {
        double v = 0.0;
        for (int k = 1; k <= 12; ++k)
            v += std::sin(twoPi * hz * k * static_cast<double>(i) / sampleRate) / k;
        s[i] = static_cast<int16_t>(6000.0 * v);
    }
    return s;
}

// Mains hum: the mains frequency and three harmonics.
Sound hum(double mains, double seconds, double peak) {
    Sound s(static_cast<size_t>(seconds * sampleRate));
    std::vector<double> v(s.size());
    double most = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        v[i] = std::sin(twoPi * mains * t) + 0.5 * std::sin(twoPi * 2 * mains * t + 1.0) +
               0.3 * std::sin(twoPi * 3 * mains * t + 2.0) + 0.15 * std::sin(twoPi * 4 * mains * t);
        most = std::max(most, std::fabs(v[i]));
    }
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(v[i] / most * peak);
    return s;
}

Sound whiteNoise(double seconds, double peak) {
    Sound s(static_cast<size_t>(seconds * sampleRate));
    uint32_t x = 12345;
    for (int16_t& v : s) {
        x = x * 1664525u + 1013904223u;
        v = static_cast<int16_t>((static_cast<double>(x >> 8) / (1 << 23) - 1.0) * peak);
    }
    return s;
}

Sound then(Sound a, const Sound& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

double fromDbfs(double dbfs) {
    return 32767.0 * std::pow(10.0, dbfs / 20.0);
}

class ConditioningTest : public ::testing::Test {
  protected:
    void TearDown() override { setConditioning(true); }
};

TEST_F(ConditioningTest, SilenceFaintNoiseAndHumAreNeverRead) {
    const Sound silence(3 * sampleRate, 0);
    const Sound noise = whiteNoise(3.0, fromDbfs(-50.0));
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        const auto mode = static_cast<InstrumentKind>(k);
        EXPECT_EQ(readingsOf(tune(silence, mode, true)), 0) << "silence, mode " << k;
        EXPECT_EQ(readingsOf(tune(noise, mode, true)), 0) << "noise at -50 dBFS, mode " << k;
        if (mode == InstrumentKind::Bass) continue;  // where 50 to 60 Hz is a note
        for (double mains : {50.0, 60.0})
            EXPECT_EQ(readingsOf(tune(hum(mains, 3.0, fromDbfs(-30.0)), mode, true)), 0)
                << mains << " Hz hum, mode " << k;
    }
    // The raw road reads that hum: the conditioning is what keeps it silent.
    EXPECT_GT(readingsOf(tune(hum(50.0, 3.0, fromDbfs(-30.0)), InstrumentKind::Guitar, false)), 10);
    // A4 under hum of the same power (a sine's peak at 1.41 of its RMS, hum's about 1.7).
    for (double mains : {50.0, 60.0}) {
        Sound mix = hum(mains, 3.0, 12000.0);
        const Sound a4 = sine(440.0, 3.0, 10000.0);
        for (size_t i = 0; i < mix.size(); ++i)
            mix[i] = static_cast<int16_t>(mix[i] + a4[i]);
        EXPECT_GT(shareRead(tune(mix, InstrumentKind::Guitar, true), 440.0, 0.5), 0.9) << mains;
    }
}

TEST_F(ConditioningTest, CleanTonesReadAsOnTheRawRoad) {
    // Sines across the range and the modes' filters: as the raw road reads them.
    for (auto [hz, mode] : {std::pair{82.4, InstrumentKind::Guitar},
                            {329.6, InstrumentKind::Guitar},
                            {659.3, InstrumentKind::Violin},
                            {41.2, InstrumentKind::Bass},
                            {220.0, InstrumentKind::Singing}}) {
        const Sound tone = sine(hz, 3.0, 16000.0);
        const double raw = medianCents(tune(tone, mode, false), hz, 1.0);
        ASSERT_FALSE(std::isnan(raw)) << hz;
        EXPECT_NEAR(medianCents(tune(tone, mode, true), hz, 1.0), raw, 0.2) << "sine " << hz;
    }
    // Plucks, whose decaying shape shifts: within a cent, or no further off than raw.
    for (double hz : {82.4, 329.6}) {
        const Sound tone = pluckedString(hz, 3.0);
        const double raw = medianCents(tune(tone, InstrumentKind::Guitar, false), hz, 1.0);
        const double conditioned = medianCents(tune(tone, InstrumentKind::Guitar, true), hz, 1.0);
        ASSERT_FALSE(std::isnan(conditioned)) << hz;
        EXPECT_LE(std::fabs(conditioned), std::max(1.0, std::isnan(raw) ? 0.0 : std::fabs(raw)))
            << hz << " Hz, raw " << raw;
    }
}

TEST_F(ConditioningTest, ReadsNoLaterThanARefreshAfterTheRawRoad) {
    // A note after silence, and a step from one note to another.
    const Sound start = then(Sound(sampleRate / 2, 0), pluckedString(110.0, 2.0));
    const int raw = firstRight(tune(start, InstrumentKind::Guitar, false), 110.0, 0.5);
    ASSERT_GE(raw, 0);
    EXPECT_LE(firstRight(tune(start, InstrumentKind::Guitar, true), 110.0, 0.5), raw + 1);

    for (auto [from, to] : {std::pair{329.6, 82.4}, {82.4, 329.6}}) {
        const Sound step = then(sine(from, 1.5, 12000.0), sine(to, 1.5, 12000.0));
        const int r = firstRight(tune(step, InstrumentKind::Guitar, false), to, 1.5);
        const int c = firstRight(tune(step, InstrumentKind::Guitar, true), to, 1.5);
        ASSERT_GE(r, 0);
        EXPECT_GE(c, 0) << from << " -> " << to;
        EXPECT_LE(c, r + 1) << from << " -> " << to;
    }
    // A step down to a note below the held band's high-pass (Cello's G2 to C2), with the
    // harmonics of a bowed string: read at the same refresh as raw.
    const Sound bowed = then(sawtooth(98.0, 1.5), sawtooth(65.41, 1.5));
    const int r = firstRight(tune(bowed, InstrumentKind::Cello, false), 65.41, 1.5);
    ASSERT_GE(r, 0);
    EXPECT_EQ(firstRight(tune(bowed, InstrumentKind::Cello, true), 65.41, 1.5), r);
}

TEST_F(ConditioningTest, ReadsAFaintNoteAndALowStringWithAStrongSecondHarmonic) {
    // A pluck that starts at -40 dBFS and dies away.
    const Sound pluck = pluckedString(110.0, 0.8, fromDbfs(-40.0) / 1.6);
    EXPECT_LT(shareRead(tune(pluck, InstrumentKind::Guitar, false), 110.0, 0.2), 0.1);
    EXPECT_GT(shareRead(tune(pluck, InstrumentKind::Guitar, true), 110.0, 0.2), 0.8);

    // A stiff E string (partials sharp of harmonic: its shape keeps changing) whose second
    // partial is three times its fundamental.
    Sound e2(3 * sampleRate);
    for (size_t i = 0; i < e2.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        double v = 0.0;
        for (auto [k, a] : {std::pair{1, 1.0}, {2, 3.0}, {3, 0.6}, {4, 0.4}})
            v += a * std::sin(twoPi * 82.4 * k * std::sqrt(1.0 + 0.001 * k * k) * t + k);
        e2[i] = static_cast<int16_t>(5000.0 * v);
    }
    EXPECT_LT(shareRead(tune(e2, InstrumentKind::Guitar, false), 82.4, 0.5), 0.8);
    EXPECT_GT(shareRead(tune(e2, InstrumentKind::Guitar, true), 82.4, 0.5), 0.95);
}

TEST_F(ConditioningTest, AnInputThatComesBackMeetsAFreshStageInItsMode) {
    tune(sine(659.3, 1.0, 16000.0), InstrumentKind::Violin, true);
    const ConditionerState& s = conditionerState();
    const float lowest = s.range.lowestHz;
    ASSERT_NEAR(s.bandHz, 659.3, 30.0);
    setInputLost(true);
    setInputLost(false);
    EXPECT_EQ(s.bandHz, lowest);  // the band back at the mode's lowest note
    EXPECT_EQ(s.range.lowestHz, lowest);
    EXPECT_EQ(s.bandPeak, 0.0f);  // no level, no estimate, gate shut
    EXPECT_EQ(s.estimator.verdict, EstimateVerdict::None);
    EXPECT_FALSE(s.gateOpen);
    EXPECT_TRUE(s.enabled);
}

TEST_F(ConditioningTest, AllocatesNothingWhileSoundFlows) {
    const Sound sound = then(then(pluckedString(82.4, 1.0), sine(659.3, 1.0, 8000.0)),
                             then(whiteNoise(0.5, 3000.0), hum(50.0, 0.5, 1000.0)));
    startTunerModules();
    allocations = 0;
    countAllocations = true;
    for (size_t at = 0; at + captureBlockSamples <= sound.size(); at += captureBlockSamples)
        analyzeBlock(&sound[at], captureBlockSamples, false);
    countAllocations = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_GT(pipelineState().dialRefreshes, 20);
}

// ---- the parts ----
// The gain of a cascade at hz, measured by running a sine through it.
double measuredGain(std::vector<Biquad> cascade, double hz) {
    double peak = 0.0;
    for (int i = 0; i < 4 * sampleRate; ++i) {
        auto y = static_cast<float>(std::sin(twoPi * hz * i / sampleRate));
        for (Biquad& q : cascade)
            y = runBiquad(q, y);
        if (i > 3 * sampleRate) peak = std::max(peak, std::fabs(static_cast<double>(y)));
    }
    return peak;
}

TEST(BandFiltersTest, ButterworthResponsesMatchTheirFormula) {
    // |H| = 1 / sqrt(1 + (f / fc)^(2 order)) for the low-pass, (fc / f) for the high-pass.
    for (auto [sections, corner] : {std::pair{1, 900.0}, {3, 60.0}}) {
        std::vector<Biquad> low(sections), high(sections);
        for (int32_t k = 0; k < sections; ++k) {
            designLowPass(low[k], corner, butterworthQ(k, sections), sampleRate);
            designHighPass(high[k], corner, butterworthQ(k, sections), sampleRate);
        }
        for (double ratio : {0.5, 1.0, 2.0}) {
            const double lowWant = 1.0 / std::sqrt(1.0 + std::pow(ratio, 4.0 * sections));
            const double highWant = 1.0 / std::sqrt(1.0 + std::pow(ratio, -4.0 * sections));
            EXPECT_NEAR(measuredGain(low, corner * ratio), lowWant, 0.01 + 0.02 * lowWant);
            EXPECT_NEAR(measuredGain(high, corner * ratio), highWant, 0.01 + 0.02 * highWant)
                << sections << " sections at " << corner << " Hz, ratio " << ratio;
        }
    }
}

}  // namespace
}  // namespace veldra

#include "views/steady_reading.h"

#include <algorithm>
#include <cmath>

namespace veldra {
namespace {

constexpr double minimumMove = 4.0;  // cents: smaller moves wait for the mean
constexpr double agreement = 2.0;    // cents, plus half the move's threshold: two
                                     // readings of one new pitch agree this well
constexpr double deadBand = 0.25;    // cents the mean must lie from what is shown
constexpr double spreadShare = 0.5;  // of the spread over the root of the readings, added

struct WindowStats {
    double spread;      // interquartile range, cents
    double middleMean;  // interquartile mean, cents
};

// While the window fills, its readings sit at recent[0 .. count); once full the ring holds
// nothing else, so the first count entries are the window either way.
WindowStats windowStats(const SteadyReading& s) {
    double sorted[steadyWindow];
    const int32_t n = s.count;
    std::copy_n(s.recent, n, sorted);
    std::sort(sorted, sorted + n);
    const int32_t quarter = n / 4;
    double sum = 0.0;
    for (int32_t i = quarter; i < n - quarter; ++i)
        sum += sorted[i];
    return {sorted[n - 1 - quarter] - sorted[quarter], sum / (n - 2 * quarter)};
}

// The window starts again at one reading, which is shown as it is.
float restart(SteadyReading& s, double cents, float frequency) {
    s.recent[0] = cents;
    s.count = 1;
    s.next = 1;
    s.shownCents = cents;
    s.shownFrequency = frequency;
    return frequency;
}

}  // namespace

float steadyReading(SteadyReading& s, float frequency) {
    if (!(frequency > 0.0f) || !std::isfinite(frequency)) {
        resetSteadyReading(s);
        return frequency;
    }
    const double cents = 1200.0 * std::log2(static_cast<double>(frequency));
    if (s.count == 0) return restart(s, cents, frequency);

    const double spread = windowStats(s).spread;
    const double band = deadBand + spreadShare * spread / std::sqrt(static_cast<double>(s.count));
    const double previous = s.recent[(s.next + steadyWindow - 1) % steadyWindow];
    const double threshold = std::max(minimumMove, spread);
    const double off = cents - s.shownCents, previousOff = previous - s.shownCents;
    const bool moved = std::fabs(cents - previous) <= threshold / 2 + agreement &&
                       off * previousOff > 0.0 && std::fabs(off) > threshold &&
                       std::fabs(previousOff) > threshold;
    if (moved) return restart(s, cents, frequency);

    s.recent[s.next] = cents;
    s.next = (s.next + 1) % steadyWindow;
    s.count = std::min(s.count + 1, steadyWindow);
    const double mean = windowStats(s).middleMean;
    if (std::fabs(mean - s.shownCents) > band) {
        s.shownCents = mean;
        s.shownFrequency = static_cast<float>(std::exp2(mean / 1200.0));
    }
    return s.shownFrequency;
}

void resetSteadyReading(SteadyReading& s) {
    s = SteadyReading{};
}

}  // namespace veldra

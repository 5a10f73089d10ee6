#include "views/phase_trace.h"

#include <algorithm>
#include <cstring>

#include "analysis/period_validator.h"
#include "display/layers.h"

namespace veldra {
namespace {

constexpr TraceState startState() {
    TraceState s{};
    s.originX = 120;
    s.originY = 120;
    s.traceShift = 8;
    s.traceDelay = 50;
    s.autoDelay = true;
    return s;
}

TraceState state = startState();

// The pen of the trace: no pen of its own, so it draws in the fixed colour of unnamed
// pens (0xF0FF, violet) into InkLayer.
constexpr int32_t tracePen = 0;

constexpr int32_t shortestDelay = 3;  // a delay of 2 or less shows no figure worth seeing

}  // namespace

void setTraceOrigin(int32_t x, int32_t y, int32_t shift) {
    state.originX = static_cast<int16_t>(x);
    state.originY = static_cast<int16_t>(y);
    state.traceShift = static_cast<int16_t>(shift);
}

void setTraceAutoDelay(bool on) { state.autoDelay = on; }

void drawTrace(const int16_t* samples, int32_t count, bool backlog) {
    TraceState& t = state;
    if (count < 1) return;
    const int32_t n = t.traceDelay;
    if (!backlog) {
        // A shift outside 0..15 would be undefined; 15 already maps every sample to 0 or -1.
        const int32_t shift = std::clamp<int32_t>(t.traceShift, 0, 15);
        for (int32_t j = 0; j < count; ++j) {
            // S[j - n], reaching into the previous block's tail while j < n.
            const int32_t delayed = j >= n ? samples[j - n] : t.traceHistory[j + 1];
            const auto x = static_cast<int16_t>(t.originX + (delayed >> shift));
            const auto y = static_cast<int16_t>(t.originY + (samples[j] >> shift));
            drawPoint(tracePen, x, y);
        }
    }

    if (t.autoDelay) {
        const auto period = static_cast<int32_t>(recentPeriod(0));  // 0 when none is listed
        const int32_t d = period / 4;
        if (d >= shortestDelay && d < traceHistoryLength && d < count) t.traceDelay = d;
    }

    // Keep the last traceDelay + 1 samples of the sound so far for the next block. A
    // block shorter than that (the delay did not change then) adds to the old tail.
    const int32_t keep = t.traceDelay + 1;
    if (count >= keep) {
        std::memcpy(t.traceHistory, samples + (count - keep), sizeof(int16_t) * keep);
    } else {
        std::memmove(t.traceHistory, t.traceHistory + count, sizeof(int16_t) * (keep - count));
        std::memcpy(t.traceHistory + (keep - count), samples, sizeof(int16_t) * count);
    }
}

const TraceState& traceState() { return state; }

void resetTrace() { state = startState(); }

}  // namespace veldra

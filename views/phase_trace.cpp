#include "views/phase_trace.h"

#include <algorithm>
#include <cstring>

#include "display/display.h"

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

// Points are worked out a batch at a time in plain loops over the samples, which the
// compiler turns into vector code, and handed to the layer together.
constexpr int32_t pointBatch = 256;

// One point per sample j: x from S[j - delay] (in the previous block's tail while
// j < delay), y from S[j].
void plotPoints(const TraceState& t, const int16_t* samples, int32_t count) {
    const int32_t n = t.traceDelay;
    // A shift outside 0..15 would be undefined; 15 already maps every sample to 0 or -1.
    const int32_t shift = std::clamp<int32_t>(t.traceShift, 0, 15);
    const auto toX = [&](int32_t v) { return static_cast<int16_t>(t.originX + (v >> shift)); };
    const auto toY = [&](int32_t v) { return static_cast<int16_t>(t.originY + (v >> shift)); };
    int16_t xs[pointBatch];
    int16_t ys[pointBatch];
    for (int32_t start = 0; start < count; start += pointBatch) {
        const int32_t end = std::min(count, start + pointBatch);
        const int32_t fromBlock =
            std::clamp(n, start, end);  // first j whose S[j - n] is in this block
        for (int32_t j = start; j < fromBlock; ++j)
            xs[j - start] = toX(t.traceHistory[j + 1]);
        for (int32_t j = fromBlock; j < end; ++j)
            xs[j - start] = toX(samples[j - n]);
        for (int32_t j = start; j < end; ++j)
            ys[j - start] = toY(samples[j]);
        drawPoints(tracePen, xs, ys, end - start);
    }
}

}  // namespace

void setTraceOrigin(int32_t x, int32_t y, int32_t shift) {
    state.originX = static_cast<int16_t>(x);
    state.originY = static_cast<int16_t>(y);
    state.traceShift = static_cast<int16_t>(shift);
}

void setTraceAutoDelay(bool on) {
    state.autoDelay = on;
}

void drawTrace(const int16_t* samples, int32_t count, bool backlog, double listedPeriod) {
    TraceState& t = state;
    if (count < 1) return;
    if (!backlog) plotPoints(t, samples, count);

    if (t.autoDelay) {
        const auto period = static_cast<int32_t>(listedPeriod);
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

const TraceState& traceState() {
    return state;
}

void resetTrace() {
    state = startState();
}

}  // namespace veldra

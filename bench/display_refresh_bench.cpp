// One display refresh, presentFrame + fadeInk, with the default 240 x 268 plot window on
// the headless screen. Each iteration runs five refreshes, one whole fade schedule (two
// fades in five), so "refresh" below is the average cost of one refresh, in seconds
// (the target is at most 40 us). Variants show the other memory layouts.
#include <benchmark/benchmark.h>

#include <random>

#include "display/display.h"
#include "platform/screen/screen.h"

namespace {

using namespace veldra;

enum class Layout { RowMajor, Mirrored, FixedModel };

void refresh(benchmark::State& state, Layout layout) {
    resetDisplay();
    HeadlessScreen screen;
    HeadlessWindow window(screen, startupWindowRect);
    if (layout == Layout::Mirrored) screen.setPitches(-2, 480);
    if (layout == Layout::FixedModel) screen.emulateFixedFrameBuffer();
    if (!openDisplay(window) || !prepareDisplay(window, 0, 26, 240, 268)) {
        state.SkipWithError("the headless display did not open");
        return;
    }
    // A scale that covers about a third of the picture, ink everywhere.
    std::mt19937 random(7);
    for (int32_t p = 0; p < layerWidth * layerHeight; ++p) {
        BackgroundLayer.pixels[p] = random() % 3 == 0 ? static_cast<uint16_t>(random() | 1) : 0;
    }
    resetLayers();
    for (int32_t p = 0; p < layerWidth * layerHeight; ++p)
        InkLayer.pixels[p] = static_cast<uint16_t>(random());

    constexpr int32_t refreshesPerIteration = 5;
    for (auto _ : state) {
        for (int32_t i = 0; i < refreshesPerIteration; ++i) {
            presentFrame();
            fadeInk();
        }
        benchmark::DoNotOptimize(InkLayer.pixels[0]);
        benchmark::ClobberMemory();
    }
    closeDisplay();
    state.counters["refresh"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * refreshesPerIteration,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void RefreshRowMajor(benchmark::State& state) {
    refresh(state, Layout::RowMajor);
}
void RefreshMirrored(benchmark::State& state) {
    refresh(state, Layout::Mirrored);
}
void RefreshFixedModel(benchmark::State& state) {
    refresh(state, Layout::FixedModel);
}

BENCHMARK(RefreshRowMajor)->Unit(benchmark::kMicrosecond);
BENCHMARK(RefreshMirrored)->Unit(benchmark::kMicrosecond);
BENCHMARK(RefreshFixedModel)->Unit(benchmark::kMicrosecond);

}  // namespace

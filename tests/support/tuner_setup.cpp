#include "tuner_setup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/block_pipeline.h"
#include "analysis/level_tracker.h"
#include "analysis/period_validator.h"
#include "display/display.h"
#include "views/phase_trace.h"
#include "views/tuning_dial.h"

namespace veldra {

void startTunerModules() {
    resetDisplay();
    setPlotWindow(0, 26, 240, 268);
    buildFont();
    buildTrigTables();
    resetDetector();
    resetValidator();
    setAnalysisRate(22050);
    resetTrace();
    setTraceOrigin(117, 128, 10);
    setTraceAutoDelay(true);
    resetDial();
    setDialGeometry(120, 128, 40, 106);
    setupInstrument(InstrumentKind::Guitar);
    resetBlockPipeline();
    setRefreshDivisor(10);
}

void listPeriod(float period) {
    resetDetector();
    resetValidator();
    std::vector<int16_t> loud(100);
    for (size_t i = 0; i < loud.size(); ++i) loud[i] = i % 2 ? 20000 : -20000;
    trackBlock(loud.data(), static_cast<int32_t>(loud.size()));
    for (int32_t i = 0; i < 3000 && validatorState().recentCount == 0; ++i) validatePeriod(period);
    ASSERT_NEAR(recentPeriod(0), period, period * 1e-5);
}

std::vector<int16_t> pluckedString(double frequency, double seconds, double amplitude) {
    std::vector<int16_t> samples(static_cast<size_t>(seconds * 22050.0));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / 22050.0;
        double v = 0.0;
        for (int k = 1; k <= 10; ++k)
            v += std::exp(-t * (0.8 + 0.5 * k)) / k * std::sin(2.0 * std::numbers::pi * k * frequency * t + 0.7 * k);
        samples[i] = static_cast<int16_t>(amplitude * std::min(1.0, t / 0.004) * v);
    }
    return samples;
}

}  // namespace veldra

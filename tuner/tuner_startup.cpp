#include "tuner/tuner_startup.h"

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "conditioning/conditioning.h"
#include "display/display.h"
#include "tuner/block_pipeline.h"
#include "tuner/digital_silence.h"
#include "tuner/mode_tuning.h"
#include "tuner/tuner_internal.h"
#include "tuner/tuner_state.h"
#include "views/views.h"

namespace veldra {
namespace {

constexpr int32_t refreshesPerSecond = 10;

// The trace's figure sits in the dial's middle, 3 pixels left of its centre; samples are
// shifted right by 10, so full scale reaches 32 pixels from the origin.
constexpr int32_t traceOriginX = 117, traceOriginY = 128, traceShift = 10;

// The spiral printed on the background picture: centre, and radii at its two ends.
constexpr int32_t dialCentreX = 120, dialCentreY = 128;
constexpr int32_t dialInnerRadius = 40, dialOuterRadius = 106;

bool handoffOpen = false;  // startTunerCapture prepared the hand-off; stopTuner closes it

}  // namespace

bool startTunerDisplay(Window& window, Rect& plot) {
    if (!openDisplay(window)) return false;
    initOctaveRange();
    plot = window.screenRect();
    plot.bottom -= menuBarHeight;
    prepareDisplay(window, plot.left, plot.top, plot.right - plot.left, plot.bottom - plot.top);
    setRefreshDivisor(refreshesPerSecond);
    return true;
}

void startTunerViews(Window& window, const Bitmap& background) {
    setTraceOrigin(traceOriginX, traceOriginY, traceShift);
    setTraceAutoDelay(true);
    setDialGeometry(dialCentreX, dialCentreY, dialInnerRadius, dialOuterRadius);
    captureBackground(window, background);
    setupInstrument(tunerState().choices.mode);
    applyConditioningRange(tunerState().choices.mode);
    tuner_internal::markTunerStarted();
}

const char* tunerDisplayRefusal() {
    return displayState().refusal;
}

bool startTunerCapture(Window& window) {
    // The window and the lock are ready before the stream can report anything.
    prepareHandoff(&window, analyzeBlock);
    handoffOpen = true;
    WaveInStream& stream = captureStream();
    openStream(stream, {.callback = onCaptureEvent,
                        .priority = captureThreadPriority,
                        .blocks = captureBlocks,
                        .blockBytes = captureBlockBytes,
                        .channels = 1,
                        .rate = sampleRate,
                        .bits = 16});
    const bool started = startStream(stream);
    setAnalysisRate(sampleRate);
    return started;
}

void stopTuner() {
    stopStream(captureStream());
    closeDisplay();
    if (handoffOpen) {
        closeHandoff();
        handoffOpen = false;
    }
}

void restartAnalysis() {
    const int32_t rate = detectorState().analysisRate;
    resetDetector();
    setAnalysisRate(rate);
    restartValidator();
    resetDigitalSilence();
    restartConditioner();
}

void resetTuner() {
    resetDetector();
    resetValidator();
    resetBlockPipeline();
    resetDigitalSilence();
    resetConditioner();
    resetDisplay();
    resetDial();
    resetTrace();
    resetHandoff();
    resetTunerState();
    resetPlayerChoices();
    handoffOpen = false;
}

}  // namespace veldra

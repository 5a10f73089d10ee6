#include "tuner/headless_tuner.h"

#include "analysis/analysis.h"
#include "tuner/tuner_startup.h"
#include "views/views.h"

namespace veldra {

bool startHeadlessTuner(HeadlessWindow& window) {
    return startHeadlessTuner(window, loadBitmapResource(backgroundResource));
}

bool startHeadlessTuner(HeadlessWindow& window, const Bitmap& background) {
    resetTuner();
    Rect plot{};
    if (!startTunerDisplay(window, plot)) return false;
    window.place(plot);
    startTunerViews(window, background);
    setAnalysisRate(sampleRate);
    return true;
}

}  // namespace veldra

#include "app/mode_tuning.h"

#include "analysis/block_pipeline.h"
#include "analysis/period_validator.h"

namespace veldra {

void applyModeTuning(InstrumentKind kind) {
    if (kind == InstrumentKind::Guitar) {
        setSmoothingSpan(static_cast<double>(captureSampleRate / 8));  // 2756 samples, 125 ms
        setPeriodTolerance(0.035);
    } else if (kind == InstrumentKind::Singing) {
        setSmoothingSpan(static_cast<double>(captureSampleRate / 16));  // 1378 samples, 62.5 ms
        setPeriodTolerance(0.08);
    }
}

}  // namespace veldra

#include "analysis/period_validator.h"

#include <algorithm>

#include "analysis/level_tracker.h"

namespace veldra {
namespace {

constexpr int32_t levelLimit = 1310;  // envelope span below which nothing is believed

constexpr PeriodValidator startState() {
    PeriodValidator v{};
    v.periodTolerance = 0.045f;
    v.smoothingSpan = static_cast<float>(sampleRate / 15);
    v.listingHoldTime = static_cast<float>(sampleRate / 5);
    return v;
}

PeriodValidator state = startState();

void resetMachine(PeriodValidator& v) {
    v.averageCount = 0;
    v.periodSum = 0.0f;
    v.periodListed = false;
    v.pitchStable = false;
    v.validatorState = ValidatorState::Idle;
}

bool withinTolerance(float ratio, float tolerance) {
    return ratio > 1.0f - tolerance && ratio < 1.0f + tolerance;
}

void listPeriod(PeriodValidator& v, float period) {
    v.periodListed = true;
    v.heldSamples = 0;
    v.recentCount = std::min(v.recentCount + 1, recentPeriodCapacity);
    for (int32_t k = v.recentCount - 2; k >= 0; --k)
        v.recentPeriods[k + 1] = v.recentPeriods[k];
    v.recentPeriods[0] = period;
}

// A candidate that agrees with the tracked period: listing, averaging, stability.
void acceptCandidate(PeriodValidator& v, float x, int32_t rate) {
    const float p = v.smoothedPeriod;
    if (!v.periodListed) {
        if (static_cast<float>(v.heldSamples) > v.listingHoldTime) {
            listPeriod(v, p);
        } else {
            v.heldSamples = static_cast<int32_t>(static_cast<float>(v.heldSamples) + x);
        }
    }
    if (v.periodSum > static_cast<float>(rate / 15)) {
        v.smoothedPeriod = p + (x - p) * (p / v.smoothingSpan);
    } else {
        v.averageCount += 1;
        v.periodSum += x;
        v.smoothedPeriod = v.periodSum / static_cast<float>(v.averageCount);
    }
    if (v.periodSum > static_cast<float>(rate / 60)) v.pitchStable = true;
}

}  // namespace

void validatePeriod(float x) {
    PeriodValidator& v = state;
    const int32_t rate = detectorState().analysisRate;
    const float shortest = static_cast<float>(rate / 2100);
    const float longest = static_cast<float>(rate / 32);
    // Written as "not inside" so that a NaN candidate is refused like any other.
    if (!(x >= shortest) || envelopeSpan() < levelLimit || !(x <= longest)) {
        resetMachine(v);
        return;
    }
    const float t = v.periodTolerance;
    switch (v.validatorState) {
        case ValidatorState::Idle:
            resetMachine(v);
            v.validatorState = ValidatorState::Seeding;
            break;
        case ValidatorState::Seeding:
            v.averageCount = 1;
            v.periodSum = x;
            v.smoothedPeriod = x;
            v.validatorState = ValidatorState::Tracking;
            break;
        case ValidatorState::Tracking:
            if (withinTolerance(v.smoothedPeriod / x, t)) {
                acceptCandidate(v, x, rate);
            } else {
                v.suspectPeriod = x;
                v.validatorState = ValidatorState::Suspect;
            }
            break;
        case ValidatorState::Suspect: {
            const float q = 1.0f / x;
            if (withinTolerance(v.smoothedPeriod * q, t)) {
                v.validatorState = ValidatorState::Tracking;  // the suspect was a stray
            } else if (withinTolerance(v.suspectPeriod * q, t)) {
                v.averageCount = 2;  // two agreeing candidates: a new pitch
                v.periodSum = v.suspectPeriod + x;
                v.smoothedPeriod = v.periodSum * 0.5f;
                v.validatorState = ValidatorState::Tracking;
            } else {
                v.pitchStable = false;
                v.validatorState = ValidatorState::Idle;
            }
            break;
        }
    }
}

void dropPitch() {
    resetMachine(state);
}

double currentPeriod() {
    return static_cast<double>(state.smoothedPeriod);
}

double recentPeriod(int32_t i) {
    if (i < 0 || i >= state.recentCount) return 0.0;
    return static_cast<double>(state.recentPeriods[i]);
}

double frequencyFromPeriod(double period) {
    const double rate = static_cast<double>(static_cast<float>(detectorState().analysisRate));
    return rate / (period == 0.0 ? 1.0 : period);
}

void setSmoothingSpan(double samples) {
    state.smoothingSpan = static_cast<float>(samples);
}

void setPeriodTolerance(double tolerance) {
    state.periodTolerance = static_cast<float>(tolerance);
}

const PeriodValidator& validatorState() {
    return state;
}

void resetValidator() {
    state = startState();
}

void restartValidator() {
    const PeriodValidator before = state;
    state = startState();
    state.periodTolerance = before.periodTolerance;
    state.smoothingSpan = before.smoothingSpan;
    state.listingHoldTime = before.listingHoldTime;
}

}  // namespace veldra

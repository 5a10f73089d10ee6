#include "conditioning/band_filters.h"

#include <algorithm>
#include <cmath>

namespace veldra {
namespace {

// K = tan(pi f / rate), the pre-warped corner; kept below the Nyquist frequency so that
// the tangent stays finite.
double prewarped(double hz, double rate) {
    const double f = std::clamp(hz, 1.0, 0.45 * rate);
    return std::tan(M_PI * f / rate);
}

void setFeedback(Biquad& q, double k, double qFactor, double norm) {
    q.a1 = static_cast<float>(2.0 * (k * k - 1.0) * norm);
    q.a2 = static_cast<float>((1.0 - k / qFactor + k * k) * norm);
}

}  // namespace

double butterworthQ(int32_t k, int32_t sections) {
    // The poles of order 2n sit at angles (2k + 1) pi / 4n from the imaginary axis.
    return 1.0 / (2.0 * std::sin((2.0 * k + 1.0) * M_PI / (4.0 * sections)));
}

void designLowPass(Biquad& q, double hz, double qFactor, double rate) {
    const double k = prewarped(hz, rate);
    const double norm = 1.0 / (1.0 + k / qFactor + k * k);
    const double b0 = k * k * norm;
    q.b0 = static_cast<float>(b0);
    q.b1 = static_cast<float>(2.0 * b0);
    q.b2 = static_cast<float>(b0);
    setFeedback(q, k, qFactor, norm);
}

void designHighPass(Biquad& q, double hz, double qFactor, double rate) {
    const double k = prewarped(hz, rate);
    const double norm = 1.0 / (1.0 + k / qFactor + k * k);
    q.b0 = static_cast<float>(norm);
    q.b1 = static_cast<float>(-2.0 * norm);
    q.b2 = static_cast<float>(norm);
    setFeedback(q, k, qFactor, norm);
}

}  // namespace veldra

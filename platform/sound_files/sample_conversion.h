// How sound values become the tuner's samples, the same for the sound files and the live
// input: each channel's value made safe, the channels averaged to mono, and 16-bit samples
// from the (resampled) mono values.
//
// Thread: any; no state.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace veldra {

// One channel's value made safe to mix and resample: NaN is silence, and everything,
// infinities included, is clipped to full scale. A resampler fed a NaN or an infinity
// would smear it over its whole filter length.
inline float sanitize(float v) {
    if (std::isnan(v)) return 0.0f;
    return std::clamp(v, -1.0f, 1.0f);
}

// Full scale 1.0 is 32768 sample units; beyond the 16-bit range clips, inside it the value
// truncates toward zero. The resampler's overshoot near full scale clips here.
// Written without branches, so that a loop of them runs in vector registers.
inline int16_t toSample16(float v) {
    const float scaled = v * 32768.0f;
    const float clipped = std::min(std::max(scaled, -32768.0f), 32767.0f);  // NaN stays NaN
    return static_cast<int16_t>(scaled == scaled ? clipped : 0.0f);
}

// The frames' channels, each made safe, averaged into mono[0 .. frames - 1].
inline void mixToMono(const float* interleaved, int32_t channels, int32_t frames, float* mono) {
    if (channels == 1) {
        for (int32_t i = 0; i < frames; ++i)
            mono[i] = sanitize(interleaved[i]);
        return;
    }
    const float scale = 1.0f / static_cast<float>(channels);
    for (int32_t i = 0; i < frames; ++i, interleaved += channels) {
        float sum = 0.0f;
        for (int32_t c = 0; c < channels; ++c)
            sum += sanitize(interleaved[c]);
        mono[i] = sum * scale;
    }
}

// The same mix from 16-bit values, whose floats are v / 32768 exactly: with at most
// integerMixChannels channels every partial sum of the float road is exact too, so the
// integer sum, scaled the same way, gives that road's bits without its per-value work.
inline constexpr int32_t integerMixChannels = 256;

inline void mixToMono(const int16_t* interleaved, int32_t channels, int32_t frames, float* mono) {
    constexpr float unit = 1.0f / 32768.0f;
    if (channels == 1) {
        for (int32_t i = 0; i < frames; ++i)
            mono[i] = static_cast<float>(interleaved[i]) * unit;
        return;
    }
    const float scale = 1.0f / static_cast<float>(channels);
    if (channels == 2) {
        for (int32_t i = 0; i < frames; ++i)
            mono[i] =
                static_cast<float>(interleaved[2 * i] + interleaved[2 * i + 1]) * unit * scale;
        return;
    }
    for (int32_t i = 0; i < frames; ++i, interleaved += channels) {
        int32_t sum = 0;
        for (int32_t c = 0; c < channels; ++c)
            sum += interleaved[c];
        mono[i] = static_cast<float>(sum) * unit * scale;
    }
}

}  // namespace veldra

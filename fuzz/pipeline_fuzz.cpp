// Fuzz target: the analysis, the views and the display over arbitrary sound.
//
// The tuner is started as the application starts it, on a headless screen; the input is
// then a script of commands, one byte choosing each:
//   block   1..8820 samples straight from the input (16-bit little-endian; silence where
//           the input has run out), with or without the backlog flag
//   tone    up to 2 s of a square wave, a sawtooth or a triangle at a period, level and
//           glide from the input, in 220-sample blocks: held pitches, listings, the
//           needle and the arrows, which raw bytes seldom reach
//   mode    a mode command as the shell gives it: setupInstrument, and for Guitar and
//           Singing the two tuning setters with their values
//   tuning  the two tuning setters with values from the input: tolerances of 0 to 1 and
//           spans from the longest period the validator takes (689 samples) to 65535;
//           a shorter span lets the smoothing overshoot its candidates (the program only
//           ever sets 2756 and 1378)
//   pause   pauseTuner or resumeTuner
//   choices the player's choices from the input, in range or not (a mode or tuning the
//           catalogue lacks, an A4 outside 415..466): refused or taken, the dial redrawn
// at most 10 s of sound per input.
//
// After every block it checks what must hold whatever the sound:
//   - the refresh schedule: after n samples in all, (n - 1) / 2205 refresh points have
//     passed; the block that passes one shows exactly one dial update and one frame,
//     unless it carries backlog or the tuner is paused, and no other block shows any;
//     the accumulator holds the samples since the last point;
//   - fadeInk ran once per frame (its accumulator is 40 per frame, modulo 100);
//   - no point or glyph cell went off its layer (shapes that do not fit are dropped by
//     the raster code, points and text are the callers' to keep on it);
//   - while paused, the detector and the validator do not move;
//   - a needle lies on the dial or within a semitone of its ends.
// The sanitizers (address, undefined behaviour) watch the rest.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "display/display.h"
#include "fuzz/byte_stream.h"
#include "platform/screen/screen.h"
#include "tuner/tuner.h"
#include "views/views.h"

namespace veldra::fuzz {
namespace {

constexpr int32_t blockSamples = captureBlockSamples;
constexpr int32_t longestBlock = 8820;  // four refresh intervals
constexpr int64_t soundLimit = 10LL * sampleRate;
constexpr int32_t refreshInterval = sampleRate / 10;
constexpr int32_t semitoneAngle = 1024 / 12 + 1;  // angle steps, rounded up

enum Command : uint8_t { Block, BacklogBlock, Tone, Mode, Tuning, Pause, Choices, commandCount };

// What the checks compare against: the sound counted so far, independently of the tuner.
struct Run {
    HeadlessScreen* screen;
    int64_t samples;    // samples handed to analyzeBlock
    int64_t dialShown;  // blocks that showed a frame, as the schedule says
    bool suspended;     // as the script last set it
};

int64_t refreshPointsAfter(int64_t samples) {
    return samples == 0 ? 0 : (samples - 1) / refreshInterval;
}

void checkDial() {
    const DialState& dial = dialState();
    if (dial.reading != DialReading::Needle) return;
    const int32_t end = dial.octaveSpan * 1024;
    if (dial.readingAngle < -semitoneAngle || dial.readingAngle > end + semitoneAngle) {
        fail("needle beyond a semitone off the dial", end, dial.readingAngle);
    }
}

// One block through the pipeline, and the checks.
void analyse(Run& run, const int16_t* samples, int32_t count, bool backlog) {
    const int32_t dialBefore = pipelineState().dialRefreshes;
    const int32_t framesBefore = run.screen->beginDrawCalls();
    const DetectorState detectorBefore = detectorState();
    const PeriodValidator validatorBefore = validatorState();

    analyzeBlock(samples, count, backlog);

    const int64_t pointsBefore = refreshPointsAfter(run.samples);
    run.samples += count;
    const int64_t points = refreshPointsAfter(run.samples);
    const bool shown = points > pointsBefore && !backlog && !run.suspended;
    run.dialShown += shown ? 1 : 0;

    expectEqual("dial updates", run.dialShown, pipelineState().dialRefreshes);
    expectEqual("frames on the screen in this block", shown ? 1 : 0,
                run.screen->beginDrawCalls() - framesBefore);
    expectEqual("dial updates in this block", shown ? 1 : 0,
                pipelineState().dialRefreshes - dialBefore);
    expectEqual("samples since the last refresh point", run.samples - points * refreshInterval,
                pipelineState().refreshAccumulator);
    expectEqual("fade accumulator", (40 * run.dialShown) % 100, displayState().fadeAccumulator);
    expectEqual("points and glyph cells off their layer", 0, displayState().offLayerWrites);
    if (run.suspended) {
        expectEqual("detector moved while suspended", 0,
                    std::memcmp(&detectorBefore, &detectorState(), sizeof(DetectorState)));
        expectEqual("validator moved while suspended", 0,
                    std::memcmp(&validatorBefore, &validatorState(), sizeof(PeriodValidator)));
    }
    checkDial();
}

void rawBlock(Run& run, ByteStream& in, bool backlog, std::vector<int16_t>& buffer) {
    const int32_t count = 1 + in.u16() % longestBlock;
    for (int32_t i = 0; i < count; ++i)
        buffer[i] = in.sample();
    analyse(run, buffer.data(), count, backlog);
}

// A periodic wave: period from 2 to about 2050 samples in 1/32 steps, gliding by up to
// +-1/16 sample per block.
void tone(Run& run, ByteStream& in, std::vector<int16_t>& buffer) {
    const uint8_t shape = in.byte() % 3;
    double period = 2.0 + in.u16() / 32.0;
    const double glide = static_cast<int8_t>(in.byte()) / 2048.0;
    const int32_t level = 1 + in.byte() * 128;
    const int32_t blocks = 1 + in.byte() % 200;
    double phase = 0.0;
    for (int32_t b = 0; b < blocks && run.samples < soundLimit; ++b) {
        for (int32_t i = 0; i < blockSamples; ++i) {
            const double f = phase / period;  // 0..1 through the period
            double v = 0.0;
            if (shape == 0) v = f < 0.5 ? 1.0 : -1.0;
            if (shape == 1) v = 2.0 * f - 1.0;
            if (shape == 2) v = f < 0.5 ? 4.0 * f - 1.0 : 3.0 - 4.0 * f;
            buffer[i] = static_cast<int16_t>(std::clamp(v * level, -32768.0, 32767.0));
            phase += 1.0;
            if (phase >= period) phase -= period;
        }
        analyse(run, buffer.data(), blockSamples, false);
        period = std::clamp(period + glide, 2.0, 2100.0);
        if (phase >= period) phase = 0.0;
    }
}

// The Instrument menu's command for kind (8: a kind the catalogue does not have).
void mode(ByteStream& in) {
    const auto kind = static_cast<InstrumentKind>(in.byte() % (instrumentKindCount + 1));
    applyTunerMode(kind);
}

void tuning(ByteStream& in) {
    constexpr int32_t longestPeriod = sampleRate / 32;
    setSmoothingSpan(longestPeriod + in.u16() % (65536 - longestPeriod));
    setPeriodTolerance(in.u16() / 65535.0);
}

void choices(ByteStream& in) {
    const uint8_t flags = in.byte();
    const int32_t a4 = in.byte();  // 0: the scale's own; else 405..659, a few in range
    applyTunerChoices({static_cast<InstrumentKind>(in.byte() % (instrumentKindCount + 1)),
                       in.byte() % (maxTuningCount + 2) - 1, a4 == 0 ? 0 : 404 + a4,
                       (flags & 1) != 0, (flags & 2) != 0});
}

void pause(Run& run, ByteStream& in) {
    run.suspended = (in.byte() & 1) != 0;
    if (run.suspended)
        pauseTuner();
    else
        resumeTuner();
}

}  // namespace
}  // namespace veldra::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace veldra;
    using namespace veldra::fuzz;
    static HeadlessTuner tuner;
    static std::vector<int16_t> buffer(longestBlock);

    if (!tuner.start()) fail("the headless display did not open", 0, 0);
    Run run{&tuner.screen, 0, 0, false};
    ByteStream in(data, size);
    while (!in.empty() && run.samples < soundLimit) {
        switch (in.byte() % commandCount) {
            case Block:
                rawBlock(run, in, false, buffer);
                break;
            case BacklogBlock:
                rawBlock(run, in, true, buffer);
                break;
            case Tone:
                tone(run, in, buffer);
                break;
            case Mode:
                mode(in);
                break;
            case Tuning:
                tuning(in);
                break;
            case Pause:
                pause(run, in);
                break;
            case Choices:
                choices(in);
                break;
        }
    }
    closeDisplay();
    return 0;
}

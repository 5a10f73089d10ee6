// veldra-file's tuner in WebAssembly, driven from node (the browser build's
// veldra-file-node.mjs): the same start-up, blocks and CSV lines as veldra-file --csv,
// with the sound handed in by the caller, so that a script can check that the browser's
// build computes what the native one does, to the last bit (web/tests/), and time it over
// the demo performance (scripts/web-figures).
//
// The calls, in order: vfn_start with the modes (names joined by ',', or empty) and
// whether to tune raw (1, as veldra-file --raw) or conditioned (0), then
// vfn_block for every 220-sample block (written at vfn_block_buffer first), which returns
// the CSV line of a refresh point or null. Or, for the page's microphone road, vfn_road
// with the rate of the sound after vfn_start, then vfn_sound for each piece of float
// values (written at vfn_sound_buffer first): converted to the tuner's rate as the page's
// program converts them (platform/sound_files/live_conversion.h), it returns the CSV lines
// of the refresh points the piece made, one a line (empty for none). vfn_demo runs the
// demo performance through the tuner as the pipeline benchmark does.
#include <emscripten.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "display/display.h"
#include "platform/sound_files/sound_files.h"
#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_report.h"
#include "tuner/tuner.h"

namespace {

veldra::HeadlessTuner tuner;
int16_t block[veldra::captureBlockSamples];
int64_t blocks = 0;         // blocks tuned since vfn_start
int32_t refreshes = 0;      // the pipeline's dial refreshes as last seen
std::string line;           // the last CSV line handed out
std::vector<int16_t> demo;  // the demo performance at the tuner's rate, made once

veldra::LiveConversion road;  // the page's microphone road, from vfn_road on
float sound[8192];            // where a piece of sound is written for vfn_sound
size_t blockFilled = 0;       // samples of the block the road has filled
std::string lines;            // the lines of the last piece, one a line

// The block is full: tuned, and the line of its refresh point, if any, kept.
const char* tuneBlock() {
    using namespace veldra;
    ++blocks;
    analyzeBlock(block, captureBlockSamples, false);
    if (pipelineState().dialRefreshes == refreshes) return nullptr;
    refreshes = pipelineState().dialRefreshes;
    line = csvLine(refreshRow(blocks));
    return line.c_str();
}

}  // namespace

extern "C" {

// False (0) for an unknown mode name or a display that cannot be opened.
EMSCRIPTEN_KEEPALIVE int32_t vfn_start(const char* modes, int32_t raw) {
    using namespace veldra;
    closeDisplay();
    if (!tuner.start()) return 0;
    setInputConditioning(raw == 0);
    const std::string names = modes;
    for (size_t at = 0; at < names.size();) {
        size_t end = names.find(',', at);
        if (end == std::string::npos) end = names.size();
        InstrumentKind kind;
        if (!modeFromName(names.substr(at, end - at), kind)) return 0;
        applyTunerMode(kind);
        at = end + 1;
    }
    blocks = 0;
    refreshes = pipelineState().dialRefreshes;
    return 1;
}

EMSCRIPTEN_KEEPALIVE int16_t* vfn_block_buffer() {
    return block;
}

EMSCRIPTEN_KEEPALIVE const char* vfn_block() {
    return tuneBlock();
}

// False (0) for a rate the resampler refuses.
EMSCRIPTEN_KEEPALIVE int32_t vfn_road(int32_t rate) {
    std::string error;
    blockFilled = 0;
    return road.open(rate, veldra::sampleRate, error) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE float* vfn_sound_buffer() {
    return sound;
}

EMSCRIPTEN_KEEPALIVE const char* vfn_sound(int32_t count) {
    lines.clear();
    std::string error;
    const size_t n = std::min(static_cast<size_t>(std::max(count, 0)), std::size(sound));
    road.convert(
        sound, n,
        [](const int16_t* samples, size_t given) {
            for (size_t i = 0; i < given; ++i) {
                block[blockFilled++] = samples[i];
                if (blockFilled < std::size(block)) continue;
                blockFilled = 0;
                if (const char* made = tuneBlock()) lines += std::string(made) + "\n";
            }
        },
        error);
    return lines.c_str();
}

// count blocks of the demo performance (over and over) through the tuner, started afresh;
// returns the dial refreshes they made.
EMSCRIPTEN_KEEPALIVE int32_t vfn_demo(int32_t count) {
    using namespace veldra;
    if (demo.empty()) {
        DemoSound sound;
        resetDemoSound(sound, sampleRate, false);
        demo.resize(static_cast<size_t>(sound.length));
        pullDemoSound(sound, demo.data(), static_cast<int32_t>(demo.size()));
    }
    if (vfn_start("", 0) == 0) return -1;
    size_t at = 0;
    for (int32_t b = 0; b < count; ++b) {
        analyzeBlock(&demo[at], captureBlockSamples, false);
        at += captureBlockSamples;
        if (at + captureBlockSamples > demo.size()) at = 0;
    }
    return pipelineState().dialRefreshes;
}

}  // extern "C"

int main() {
    return 0;
}

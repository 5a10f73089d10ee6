// veldra-file's tuner in WebAssembly, driven from node (the browser build's
// veldra-file-node.mjs): the same start-up, blocks and CSV lines as veldra-file --csv,
// with the sound handed in by the caller, so that a script can check that the browser's
// build computes what the native one does, to the last bit (web/tests/), and time it over
// the demo performance (scripts/web-figures).
//
// The calls, in order: vfn_start with the modes (names joined by ',', or empty) and
// whether to tune raw (1, as veldra-file --raw) or conditioned (0), then
// vfn_block for every 220-sample block (written at vfn_block_buffer first), which returns
// the CSV line of a refresh point or null; vfn_demo runs the demo performance through the
// tuner as the pipeline benchmark does.
#include <emscripten.h>

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
    using namespace veldra;
    ++blocks;
    analyzeBlock(block, captureBlockSamples, false);
    if (pipelineState().dialRefreshes == refreshes) return nullptr;
    refreshes = pipelineState().dialRefreshes;
    line = csvLine(refreshRow(blocks));
    return line.c_str();
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

// Fuzz target: the sound-file road into the tuner over arbitrary bytes.
//
// The input is the whole content of a sound file. The reader opens it from memory
// (libsndfile's virtual I/O, the same road a path takes, as veldra-file reads it) and the
// tuner, started as veldra-file starts it, tunes at most 20 s of it. Every failure, at the
// open or while reading, must be one clear line, "fuzz-input: <reason>", with no line break
// in it: veldra-file prints that line as its one line of error. Anything else is a finding,
// as is whatever the sanitizers see and any input that takes longer than the fuzzer's
// time-out (the work per input is bounded by the 20 s, so only a hang in the reading can
// get there).
#include <cstdint>
#include <string>

#include "analysis/analysis.h"
#include "audio/audio.h"
#include "display/display.h"
#include "fuzz/byte_stream.h"
#include "platform/sound_files/sound_files.h"
#include "tuner/tuner.h"

namespace {

constexpr int64_t blockLimit = 20 * veldra::sampleRate / veldra::captureBlockSamples;
const std::string inputName = "fuzz-input";

void expectClearError(const veldra::SoundFileError& error) {
    const std::string& text = error.message;
    const std::string prefix = inputName + ": ";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.size() <= prefix.size() ||
        text.find('\n') != std::string::npos) {
        veldra::fuzz::fail(("not one clear line: " + text).c_str(), 0, 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace veldra;
    static HeadlessTuner tuner;
    SoundFileReader reader{sampleRate};
    if (!reader.openMemory(data, size, inputName)) {
        expectClearError(reader.error());
        return 0;
    }
    if (!tuner.start()) fuzz::fail("the headless display did not open", 0, 0);
    int16_t block[captureBlockSamples];
    for (int64_t b = 0;
         b < blockLimit && reader.read(block, captureBlockSamples) == captureBlockSamples; ++b) {
        analyzeBlock(block, captureBlockSamples, false);
    }
    if (reader.error().problem != SoundFileProblem::None) expectClearError(reader.error());
    closeDisplay();
    return 0;
}

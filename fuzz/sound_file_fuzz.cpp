// Fuzz target: veldra-file's input path over arbitrary bytes.
//
// The input is the whole content of a sound file. veldra-file's run opens it from memory
// (the reader's libsndfile virtual I/O, the same road a path takes) and tunes at most 20 s
// of it, the table for inputs of even length and the CSV lines for odd ones, and must end
// in one of two ways:
//   - status 0 and nothing on the error stream: a clean run;
//   - status 1 and one line on it, "veldra-file: <name>: <reason>": a clear error.
// Anything else is a finding, as is whatever the sanitizers see and any input that takes
// longer than the fuzzer's time-out (the work per input is bounded by the 20 s, so only a
// hang in the reading can get there).
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz/byte_stream.h"
#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_tuner.h"

namespace {

constexpr double soundLimitSeconds = 20.0;
const std::string inputName = "fuzz-input";

bool isClearError(const std::string& text) {
    const std::string prefix = "veldra-file: " + inputName + ": ";
    const size_t newline = text.find('\n');
    return text.compare(0, prefix.size(), prefix) == 0 && text.size() > prefix.size() + 1 &&
           newline == text.size() - 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using veldra::fuzz::fail;
    veldra::FileOptions options;
    options.input = inputName;
    options.csv = size % 2 == 1;
    std::ostringstream out, err;
    const int status =
        veldra::runFileTunerOnBytes(data, size, soundLimitSeconds, options, out, err);
    if (status == 0) {
        if (!err.str().empty()) fail(("a clean run said: " + err.str()).c_str(), 0, 0);
    } else if (status == 1) {
        if (!isClearError(err.str())) fail(("not one clear line: " + err.str()).c_str(), 1, 1);
    } else {
        fail("exit status", 1, status);
    }
    return 0;
}

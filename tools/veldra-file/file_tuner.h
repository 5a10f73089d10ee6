// The whole tuner run over a sound file, headless, as fast as the machine allows.
//
// The run starts the tuner as the application does (startHeadlessTuner: the start-up and
// the first paint on a headless screen, the background picture 124 captured, Guitar with
// the start-up tuning values), applies the requested mode commands in order, then hands
// the sound to analyzeBlock in blocks of 220 samples with no backlog;
// a final partial block is dropped. At every refresh point it reports what the dial was
// given (table or CSV) and, if asked, writes the screen to PNG files.
//
// Failures: the input is opened before anything is written. A file that cannot be read,
// a picture that cannot be written or a --at beyond the end gives one line on err
// ("veldra-file: <what>: <why>") and the result 1, and leaves no picture of this run
// behind. Success is 0.
//
// Thread: main thread only. The run uses the program-wide tuner state (analysis, display,
// views), putting it back to its start values first, so runs may follow one another.
#pragma once

#include <ostream>
#include <string>

#include "tools/veldra-file/file_options.h"

namespace veldra {

// Runs options (action Run) and returns the exit status, 0 or 1.
int runFileTuner(const FileOptions& options, std::ostream& out, std::ostream& err);

}  // namespace veldra

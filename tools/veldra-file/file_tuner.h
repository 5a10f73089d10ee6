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
// a picture that cannot be written, a --at beyond the end or standard output refusing a
// write gives one line on err ("veldra-file: <what>: <why>", control characters escaped)
// and the result 1, and leaves no picture of this run behind (file_pictures.h). So does
// damage inside the sound file ("damaged at <seconds> s"), after the lines printed up to
// it. An output that would overwrite the input, standard output (descriptor 1) included,
// is refused before the run with the result 2. Success is 0, with one warning line on err
// when the file was cut short. A closed pipe on standard output, or SIGINT, SIGTERM or
// SIGHUP once catchEndingSignals has run (file_signals.h), ends the run as a failure does
// but without a message, and the program by that signal; a signal that comes once the
// outputs are in place is too late to undo the run, which ends with 0 (the ending signals
// stay held after a run).
//
// Thread: main thread only. The run uses the program-wide tuner state (analysis, display,
// views), putting it back to its start values first, so runs may follow one another.
#pragma once

#include <ostream>
#include <string>

#include "tools/veldra-file/file_options.h"

namespace veldra {

// Runs options (action Run) and returns the exit status, 0, 1 or 2.
int runFileTuner(const FileOptions& options, std::ostream& out, std::ostream& err);

}  // namespace veldra

// How veldra-file ends on a signal.
//
// SIGINT, SIGTERM and SIGHUP end a run as a failure does, its pictures removed (see
// file_pictures.h), and then the program ends by the same signal with its default action,
// so that the shell sees what ended it. A second one of them ends the program at once.
// Signals the program was started with ignored (nohup, a background job) stay ignored.
// SIGPIPE is ignored while running, so that a write to a closed pipe fails with EPIPE; the
// run then ends the same way, quietly, by SIGPIPE, as Unix tools do. SIGXFSZ (ulimit -f)
// is ignored, so that a write beyond the limit fails with EFBIG and takes the ordinary
// error road.
//
// The handler only notes the signal; the run looks at endingSignal() between blocks and
// before it puts its outputs in place. No SA_RESTART: a read or write that waits returns
// early, so that a signal is acted on soon.
//
// Thread: main thread only (the program has no other).
#pragma once

namespace veldra {

// Installs the handlers above; once, at the start.
void catchEndingSignals();

// The first signal that arrived, or 0.
int endingSignal();

// Holds SIGINT, SIGTERM and SIGHUP back (true) while outputs are put in place, so that a
// run is wholly before or after that step when a signal is acted on; false lets them in.
void holdEndingSignals(bool hold);

// Ends the program by signal number, with its default action. Does not return.
[[noreturn]] void endBySignal(int signal);

}  // namespace veldra

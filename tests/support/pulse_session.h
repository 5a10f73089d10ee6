// A PulseAudio server of the test's own, for the tests and the benchmark of live sound:
// started in user mode in a fresh 0700 folder (its HOME and XDG_RUNTIME_DIR), with one
// null sink per input that sound is played into, and a source remapped from each sink's
// monitor (SDL hides monitors) under the input's name. A recorder at 10 ms latency on each
// source keeps its sink running at low latency; without it the null sink runs with a
// 2 s latency and a new recording's first second is lost.
//
// Clients reach it through clientEnvironment() (PULSE_SERVER). Everything started stops
// with the session, whatever happens in between. Failure: false with the reason in words.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/scratch_files.h"
#include "tests/support/xvfb_session.h"

namespace veldra {

class PulseSession {
  public:
    PulseSession();
    ~PulseSession();
    PulseSession(const PulseSession&) = delete;
    PulseSession& operator=(const PulseSession&) = delete;

    // Starts the server with the inputs, named as given, the one numbered defaultInput the
    // system's default; returns once every input delivers sound.
    bool start(const std::vector<std::string>& inputs, size_t defaultInput, std::string& why);
    // Kills the server at once, as a crash would; start again with the same arguments
    // brings it back at the same address.
    void kill();
    // Stops the server where it stands (SIGSTOP), as a server that hangs: clients connect
    // and wait for an answer that does not come; thaw lets it go on.
    void freeze();
    void thaw();

    // Plays a sound file into input number input's sink, in the background, until it ends
    // or stopPlaying.
    bool play(size_t input, const std::string& file, std::string& why);
    void stopPlaying();

    // What a client's environment needs to reach the server.
    std::vector<std::string> clientEnvironment() const;

  private:
    bool run(const std::vector<std::string>& command, std::string& why);  // waits for it

    ScratchFolder folder_;  // the server's home (0700), removed after the server stops
    std::unique_ptr<ChildProcess> server_;
    std::vector<std::unique_ptr<ChildProcess>> recorders_, players_;
};

}  // namespace veldra

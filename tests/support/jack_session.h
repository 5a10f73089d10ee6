// A JACK server of the test's own (jackd2 on its dummy driver, named after a fresh 0700
// folder), reached the way veldra reaches JACK: through SDL's ALSA driver and ALSA's jack
// plugin, the device AUDIODEV names. The server has one loopback port pair; an
// ~/.asoundrc in the folder (the clients' HOME) points the "jack" device's capture at the
// loopback's output, and a "tone" device that sox plays into at its input.
//
// The server and the players are children of the test and go with the session, as does
// what the server keeps in shared memory.
// Failure: false with the reason in words.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/scratch_files.h"
#include "tests/support/xvfb_session.h"

namespace veldra {

class JackSession {
  public:
    JackSession() = default;
    ~JackSession();
    JackSession(const JackSession&) = delete;
    JackSession& operator=(const JackSession&) = delete;

    // Starts the server; returns once its ports are there.
    bool start(std::string& why);
    // Ends the players and the server, and what the server leaves in shared memory.
    void kill();
    // Plays a sound file into the loopback, in the background.
    bool play(const std::string& file, std::string& why);

    // What veldra's environment needs to record from the server through ALSA.
    std::vector<std::string> clientEnvironment() const;

  private:
    std::string serverName() const;  // the folder's name: unique while the folder lives
    std::string ports() const;       // jack_lsp's listing ("" when it fails)

    ScratchFolder folder_;
    std::unique_ptr<ChildProcess> server_;
    std::vector<std::unique_ptr<ChildProcess>> players_;
};

}  // namespace veldra

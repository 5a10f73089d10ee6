// A PipeWire server of the test's own, run as a desktop runs it: pipewire, wireplumber and
// pipewire-pulse (its PulseAudio front end) on a session bus of their own, with HOME,
// XDG_RUNTIME_DIR, XDG_CONFIG_HOME and XDG_STATE_HOME in a fresh 0700 folder. Each input
// is a stereo loopback that pipewire itself loads (a drop-in in its configuration): a
// sink "speakerN" that sound is played into, and a source "micN" described by the input's
// name. Being pipewire's own, the inputs outlive a restart of pipewire-pulse.
//
// Every server is a child of the test (never of a shell or of dbus-run-session), so that
// each goes with the session, or with the test's process should it die first.
// Failure: false with the reason in words.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/scratch_files.h"
#include "tests/support/xvfb_session.h"

namespace veldra {

class PipeWireSession {
  public:
    PipeWireSession() = default;
    ~PipeWireSession();
    PipeWireSession(const PipeWireSession&) = delete;
    PipeWireSession& operator=(const PipeWireSession&) = delete;

    // Starts the servers with the inputs, the one numbered defaultInput the system's
    // default; returns once the PulseAudio front end names it the default source.
    bool start(const std::vector<std::string>& inputs, size_t defaultInput, std::string& why);
    // Kills pipewire-pulse alone, and starts it again.
    void killPulse();
    bool startPulse(std::string& why);
    // Kills every server and player; start with the same arguments brings them back.
    void killAll();

    // Plays a sound file into input number input's sink (pw-play), in the background.
    bool play(size_t input, const std::string& file, std::string& why);

    // Runs a client (pactl, jack_lsp) to its end; its output, or "" with why set when it
    // fails.
    std::string run(const std::vector<std::string>& command, std::string& why) const;

    // What a client's environment needs to reach the servers (all protocols), its HOME
    // the session's (no ~/.asoundrc).
    std::vector<std::string> clientEnvironment() const;

  private:
    std::vector<std::string> serverEnvironment() const;
    bool startServer(std::unique_ptr<ChildProcess>& server, const std::string& command,
                     std::string& why);

    ScratchFolder folder_;  // the servers' home (0700), removed after they stop
    std::string defaultSource_;
    std::unique_ptr<ChildProcess> bus_, pipewire_, sessionManager_, pulse_;
    std::vector<std::unique_ptr<ChildProcess>> players_;
};

}  // namespace veldra

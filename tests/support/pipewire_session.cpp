#include "tests/support/pipewire_session.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/polling.h"

namespace veldra {
namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); };

}  // namespace

PipeWireSession::~PipeWireSession() {
    killAll();
}

std::vector<std::string> PipeWireSession::clientEnvironment() const {
    const std::string& root = folder_.root();
    return {"HOME=" + root, "XDG_RUNTIME_DIR=" + root,
            "PIPEWIRE_REMOTE=", "PULSE_SERVER=unix:" + root + "/pulse/native"};
}

std::vector<std::string> PipeWireSession::serverEnvironment() const {
    const std::string& root = folder_.root();
    return {"HOME=" + root,
            "XDG_RUNTIME_DIR=" + root,
            "XDG_CONFIG_HOME=" + root + "/config",
            "XDG_STATE_HOME=" + root + "/state",
            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + root + "/bus",
            "PIPEWIRE_REMOTE=",
            "PULSE_SERVER="};
}

std::string PipeWireSession::run(const std::vector<std::string>& command, std::string& why) const {
    ChildProcess child;
    if (!child.start(command, clientEnvironment(), why)) return "";
    if (child.wait(5000) == 0) return child.errorOutput();
    why = command[0] + " failed: " + child.errorOutput();
    return "";
}

bool PipeWireSession::startServer(std::unique_ptr<ChildProcess>& server, const std::string& command,
                                  std::string& why) {
    server = std::make_unique<ChildProcess>();
    return server->start({command}, serverEnvironment(), why);
}

bool PipeWireSession::start(const std::vector<std::string>& inputs, size_t defaultInput,
                            std::string& why) {
    const std::string& root = folder_.root();
    const std::string dropIns = root + "/config/pipewire/pipewire.conf.d";
    std::filesystem::create_directories(dropIns);
    std::ofstream config(dropIns + "/inputs.conf");
    config << "context.modules = [\n";
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string n = std::to_string(i);
        // The default input ranks first with the session manager.
        const int priority = i == defaultInput ? 2000 : 1000;
        config << "  { name = libpipewire-module-loopback args = {\n"
               << "      node.description = \"" << inputs[i] << "\"\n"
               << "      capture.props = { node.name = speaker" << n
               << " media.class = Audio/Sink audio.position = [ FL FR ] }\n"
               << "      playback.props = { node.name = mic" << n << " node.description = \""
               << inputs[i] << "\" media.class = Audio/Source audio.position = [ FL FR ]"
               << " priority.session = " << priority << " } } }\n";
    }
    config << "]\n";
    config.close();
    defaultSource_ = "mic" + std::to_string(defaultInput);

    bus_ = std::make_unique<ChildProcess>();
    if (!bus_->start({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                      "--address=unix:path=" + root + "/bus"},
                     serverEnvironment(), why))
        return false;
    if (!eventually([&] { return exists(root + "/bus"); }, std::chrono::seconds(10), pause))
        return why = "dbus-daemon did not start: " + bus_->errorOutput(), false;
    if (!startServer(pipewire_, "pipewire", why)) return false;
    if (!eventually([&] { return exists(root + "/pipewire-0"); }, std::chrono::seconds(10), pause))
        return why = "pipewire did not start: " + pipewire_->errorOutput(), false;
    if (!startServer(sessionManager_, "wireplumber", why)) return false;
    return startPulse(why);
}

bool PipeWireSession::startPulse(std::string& why) {
    if (!startServer(pulse_, "pipewire-pulse", why)) return false;
    std::string notYet;
    if (eventually(
            [&] {
                return run({"pactl", "get-default-source"}, notYet) == defaultSource_ + "\n";
            },
            std::chrono::seconds(10), pause)) {
        return true;
    }
    return why = "the default source never became " + defaultSource_ + ": " + notYet + "\n" +
                 pulse_->errorOutput() + sessionManager_->errorOutput(),
           false;
}

void PipeWireSession::killPulse() {
    if (pulse_) pulse_->kill();
}

void PipeWireSession::killAll() {
    players_.clear();
    for (auto* server : {&pulse_, &sessionManager_, &pipewire_, &bus_}) {
        if (*server) (*server)->kill();
        server->reset();
    }
}

bool PipeWireSession::play(size_t input, const std::string& file, std::string& why) {
    players_.push_back(std::make_unique<ChildProcess>());
    return players_.back()->start({"pw-play", "--target", "speaker" + std::to_string(input), file},
                                  clientEnvironment(), why);
}

}  // namespace veldra

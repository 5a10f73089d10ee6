#include "tests/support/pulse_session.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/polling.h"
#include "tests/support/scratch_files.h"

namespace veldra {

PulseSession::PulseSession() = default;

PulseSession::~PulseSession() {
    stopPlaying();
    kill();
}

std::vector<std::string> PulseSession::clientEnvironment() const {
    return {"PULSE_SERVER=unix:" + folder_.root() + "/pulse/native"};
}

bool PulseSession::run(const std::vector<std::string>& command, std::string& why) {
    ChildProcess child;
    if (!child.start(command, clientEnvironment(), why)) return false;
    if (child.wait(5000) == 0) return true;
    why = command[0] + " failed: " + child.errorOutput();
    return false;
}

bool PulseSession::start(const std::vector<std::string>& inputs, size_t defaultInput,
                         std::string& why) {
    std::ofstream config(folder_.root() + "/server.pa");
    config << "load-module module-native-protocol-unix\n";
    for (size_t i = 0; i < inputs.size(); ++i) {
        config << "load-module module-null-sink sink_name=sink" << i << "\n"
               << "load-module module-remap-source source_name=input" << i << " master=sink" << i
               << ".monitor source_properties=device.description=" << inputs[i] << "\n";
    }
    config << "set-default-source input" << defaultInput << "\n";
    config.close();
    server_ = std::make_unique<ChildProcess>();
    const std::vector<std::string> home = {"HOME=" + folder_.root(),
                                           "XDG_RUNTIME_DIR=" + folder_.root()};
    if (!server_->start({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                         "-n", "-F", folder_.root() + "/server.pa"},
                        home, why))
        return false;
    std::string notYet;
    const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); };
    if (!eventually(
            [&] {
                return run({"pactl", "info"}, notYet);
            },
            std::chrono::seconds(10), pause)) {
        return why = "pulseaudio did not answer: " + server_->errorOutput(), false;
    }
    recorders_.clear();
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string file = folder_.root() + "/kept" + std::to_string(i) + ".raw";
        std::filesystem::remove(file);
        recorders_.push_back(std::make_unique<ChildProcess>());
        if (!recorders_.back()->start({"pacat", "--record", "--latency-msec=10", "--raw",
                                       "--channels=1", "-d", "input" + std::to_string(i), file},
                                      clientEnvironment(), why))
            return false;
    }
    // A null sink's first sound reaches its recorder about two seconds after the start.
    const bool flowing = eventually([&] {
        for (size_t i = 0; i < inputs.size(); ++i) {
            struct stat st {};
            const std::string file = folder_.root() + "/kept" + std::to_string(i) + ".raw";
            if (::stat(file.c_str(), &st) != 0 || st.st_size == 0) return false;
        }
        return true;
    });
    return flowing || (why = "no sound came from the inputs", false);
}

void PulseSession::kill() {
    if (server_) server_->kill();
    server_.reset();
    recorders_.clear();  // they end with the server
}

void PulseSession::freeze() {
    if (server_) ::kill(server_->pid(), SIGSTOP);
}

void PulseSession::thaw() {
    if (server_) ::kill(server_->pid(), SIGCONT);
}

bool PulseSession::play(size_t input, const std::string& file, std::string& why) {
    players_.push_back(std::make_unique<ChildProcess>());
    return players_.back()->start({"paplay", "-d", "sink" + std::to_string(input), file},
                                  clientEnvironment(), why);
}

void PulseSession::stopPlaying() {
    players_.clear();
}

}  // namespace veldra

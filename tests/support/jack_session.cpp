#include "tests/support/jack_session.h"

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/polling.h"

namespace veldra {
namespace {

// The "jack" device records from the loopback alone (not the system's capture ports);
// "tone" converts whatever it is given to the loopback's one port.
constexpr char alsaDevices[] = R"(pcm.!jack {
    type jack
    capture_ports { 0 loopback:capture_1 }
}
pcm.tone {
    type plug
    slave.pcm { type jack playback_ports { 0 loopback:playback_1 } }
}
)";

const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); };

}  // namespace

JackSession::~JackSession() {
    kill();
}

std::string JackSession::serverName() const {
    const std::string& root = folder_.root();
    return root.substr(root.rfind('/') + 1);
}

std::vector<std::string> JackSession::clientEnvironment() const {
    const std::string& root = folder_.root();
    return {"HOME=" + root, "JACK_DEFAULT_SERVER=" + serverName(), "SDL_AUDIODRIVER=alsa",
            "AUDIODEV=jack"};
}

std::string JackSession::ports() const {
    ChildProcess list;
    std::string why;
    if (!list.start({"jack_lsp"}, clientEnvironment(), why) || list.wait(5000) != 0) return "";
    return list.errorOutput();
}

bool JackSession::start(std::string& why) {
    writeWholeFile(folder_.path(".asoundrc"), alsaDevices);
    server_ = std::make_unique<ChildProcess>();
    // -r: not in real time (nothing to gain on a dummy driver); -L 1: one loopback pair.
    // The dummy driver keeps its default period, the one its pace (--wait) is set for.
    if (!server_->start(
            {"jackd", "-r", "-L", "1", "-d", "dummy", "--capture", "0", "--playback", "0"},
            clientEnvironment(), why))
        return false;
    const bool ready =
        eventually([&] { return ports().find("loopback:capture_1") != std::string::npos; },
                   std::chrono::seconds(10), pause);
    return ready || (why = "jackd did not start: " + server_->errorOutput(), false);
}

void JackSession::kill() {
    players_.clear();
    if (server_) {
        // A server told to end while it drops a client that died does not end: the
        // players' ports go first.
        eventually([&] { return ports().find("sox") == std::string::npos; },
                   std::chrono::seconds(2), pause);
        ::kill(server_->pid(), SIGTERM);  // so that it takes down its shared memory
        server_->wait(5000);
        server_.reset();
    }
    // What the server leaves for clients that were still connected (veldra's, when the
    // server goes first) is named after the server.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
        if (entry.path().filename().string().find(serverName()) != std::string::npos)
            std::filesystem::remove_all(entry.path(), ignored);
    }
}

bool JackSession::play(const std::string& file, std::string& why) {
    players_.push_back(std::make_unique<ChildProcess>());
    return players_.back()->start({"sox", "-q", file, "-t", "alsa", "tone"}, clientEnvironment(),
                                  why);
}

}  // namespace veldra

// Copies of the real program started at the same instant, on an Xvfb of the test's own:
// however many there are, one window opens and the others hand over to it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/polling.h"
#include "tests/support/scratch_files.h"
#include "tests/support/xvfb_session.h"

namespace veldra {
namespace {

constexpr int copies = 10;

// The program's visible windows on the session's display.
std::vector<std::string> visibleWindows(const XvfbSession& session) {
    std::string found;
    xdotool(session, {"search", "--onlyvisible", "--name", "^Veldra$"}, nullptr, 10000, &found);
    std::istringstream lines(found);
    std::vector<std::string> windows;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) windows.push_back(line);
    return windows;
}

// Ten copies released together by a FIFO: one window and one socket stay, the others end
// with 0, and the last with 0 when closed. (Where the socket lives without
// XDG_RUNTIME_DIR: app_test's SingleInstanceTest.)
TEST(EndToEndInstancesTest, CopiesStartedAtOnceOpenOneWindow) {
    namespace fs = std::filesystem;
    XvfbSession session;
    std::string why;
    if (!session.start(why)) GTEST_SKIP() << "no X server: " << why;
    ScratchFolder folder;
    fs::create_directory(folder.path("run"));
    fs::permissions(folder.path("run"), fs::perms::owner_all);
    const std::string gate = folder.path("gate");
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    const std::vector<std::string> environment = {"DISPLAY=" + session.display(),
                                                  "WAYLAND_DISPLAY=",
                                                  "SDL_VIDEODRIVER=x11",
                                                  "VELDRA_SCALE=1",
                                                  "VELDRA_INPUT=demo",
                                                  "SDL_AUDIODRIVER=dummy",
                                                  "XDG_RUNTIME_DIR=" + folder.path("run")};
    // Each copy waits for a line from the FIFO, held open read-write so no open waits.
    const int gateEnd = ::open(gate.c_str(), O_RDWR);
    ASSERT_GE(gateEnd, 0);
    std::vector<std::unique_ptr<ChildProcess>> started;
    for (int i = 0; i < copies; ++i) {
        started.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(started.back()->start(
            {"sh", "-c", "read line < \"$1\"; exec \"$0\"", VELDRA_PROGRAM, gate}, environment,
            why))
            << why;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // all waiting, mostly
    const std::string lines(copies, '\n');
    ASSERT_EQ(::write(gateEnd, lines.data(), copies), copies);
    // All but one end, each with 0.
    std::vector<std::optional<int>> statuses(copies);
    const auto ended = [&] {
        for (int i = 0; i < copies; ++i)
            if (!statuses[i]) statuses[i] = started[i]->wait(0);
        return std::count(statuses.begin(), statuses.end(), std::nullopt) <= 1;
    };
    if (!eventually(ended, std::chrono::seconds(60))) {
        for (int i = 0; i < copies; ++i)
            if (!statuses[i]) ADD_FAILURE() << "still running: " << started[i]->errorOutput();
    }
    const auto running = std::find(statuses.begin(), statuses.end(), std::nullopt);
    for (int i = 0; i < copies; ++i)
        EXPECT_NE(statuses[i], std::optional<int>(1)) << started[i]->errorOutput();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), std::optional<int>(0)), copies - 1);
    const std::vector<std::string> windows = visibleWindows(session);
    EXPECT_EQ(windows.size(), 1u);
    int sockets = 0;
    for (const auto& e : fs::directory_iterator(folder.path("run/veldra")))
        sockets += fs::is_socket(e.path());
    EXPECT_EQ(sockets, 1);
    ASSERT_NE(running, statuses.end());
    ASSERT_FALSE(windows.empty());
    ChildProcess& left = *started[running - statuses.begin()];
    ASSERT_TRUE(xdotool(session, {"windowclose", windows[0]}, &why)) << why;
    EXPECT_EQ(left.wait(15000), std::optional<int>(0)) << left.errorOutput();
    ::close(gateEnd);
}

}  // namespace
}  // namespace veldra

// Finding a running window from another process and asking it to come to the front:
// the abstract socket per user, display, class name and title, and the peer checks.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/single_instance.h"
#include "platform/window_system.h"
#include "support/polling.h"
#include "support/window_fixture.h"

namespace veldra {
namespace {

using InstanceTest = WindowSystemTest;

TEST_F(InstanceTest, ARunningWindowIsFoundByClassAndTitleAndComesToTheFront) {
    const WindowHandle w = makeWindow("Tuner");
    RunningWindow found;
    EXPECT_FALSE(findRunningWindow(recordingClass, "Other title", found));
    EXPECT_FALSE(findRunningWindow("OTHER CLASS", "Tuner", found));
    ASSERT_TRUE(findRunningWindow(recordingClass, "Tuner", found));
    // The answer comes from the listener's thread while this one waits for it, so the
    // request is made on a thread of its own, as another process would.
    bool answered = false;
    std::thread asker([&] { answered = bringRunningWindowForward(found, true); });
    EXPECT_TRUE(eventually([&] { return backEnd.raises() > 0; }, std::chrono::seconds(2), [&] { pump(); }));
    asker.join();
    EXPECT_EQ(backEnd.raises(), 1);
    EXPECT_TRUE(answered);
    EXPECT_EQ(found.connection, -1);
    EXPECT_EQ(activeWindow(), w);
}

// The name belongs to one window and goes with it; another namespace (another test
// program, another display) never meets it.
TEST_F(InstanceTest, TheNameBelongsToOneWindowAndGoesWithIt) {
    const WindowHandle w = makeWindow("Tuner");
    EXPECT_EQ(startInstanceListener(recordingClass, "Tuner", [](void*, bool) {}, nullptr), nullptr);
    destroyWindow(w);
    RunningWindow found;
    EXPECT_FALSE(findRunningWindow(recordingClass, "Tuner", found));
    makeWindow("Tuner");
    setInstanceNamespace("elsewhere");
    EXPECT_FALSE(findRunningWindow(recordingClass, "Tuner", found));
}

// A child process, as nobody, holds the name and answers every request.
TEST_F(InstanceTest, ASocketHeldByAnotherUserIsNoRunningCopy) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to hold a socket as another user";
    const std::string name = instanceSocketName(recordingClass, "Squatted");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        sockaddr_un address{AF_UNIX, {}};
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (setgid(65534) != 0 || setuid(65534) != 0 ||
            bind(fd, reinterpret_cast<sockaddr*>(&address), offsetof(sockaddr_un, sun_path) + 1 + name.size()) != 0 ||
            listen(fd, 4) != 0 || write(ready[1], "r", 1) != 1)
            _exit(2);
        for (;;) {
            const int peer = accept(fd, nullptr, nullptr);
            if (peer >= 0 && write(peer, "K", 1) == 1) close(peer);
        }
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    RunningWindow found;
    EXPECT_FALSE(findRunningWindow(recordingClass, "Squatted", found));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
}

}  // namespace
}  // namespace veldra

// The kernel pieces under the capture thread: the auto-reset event, thread lifetime and
// exit codes, per-thread message queues, the priority hint.
#include "platform/kernel.h"
#include "platform/window_messages.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace veldra {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

TEST(AutoResetEventTest, OneSignalReleasesExactlyOneWait) {
    AutoResetEvent event;
    EXPECT_EQ(event.wait(1), waitTimedOut);
    event.signal();
    event.signal();  // not counted: still one signal
    EXPECT_EQ(event.wait(0), waitSignalled);
    EXPECT_EQ(event.wait(1), waitTimedOut);
}

TEST(AutoResetEventTest, ASignalFromAnotherThreadEndsALongWait) {
    AutoResetEvent event;
    std::thread signaller([&] {
        std::this_thread::sleep_for(milliseconds(20));
        event.signal();
    });
    const auto begin = Clock::now();
    EXPECT_EQ(event.wait(60000), waitSignalled);
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(30));
    signaller.join();
}

// A thread procedure that keeps its messages until it gets message 2 (stop); its exit
// code is how many it saw.
struct Mailbox {
    std::atomic<bool> go{false};
    std::vector<ThreadMessage> seen;  // written by the thread, read after its end
    int niceSeen = 100;               // the thread's nice value when it saw message 3
};

uint32_t collect(void* parameter) {
    auto& box = *static_cast<Mailbox*>(parameter);
    while (!box.go.load()) std::this_thread::sleep_for(milliseconds(1));
    for (;;) {
        ThreadMessage m;
        if (!takeThreadMessage(&m)) {
            std::this_thread::sleep_for(milliseconds(1));
            continue;
        }
        if (m.message == 3) box.niceSeen = getpriority(PRIO_PROCESS, 0);
        if (m.message == 2) break;
        box.seen.push_back(m);
    }
    return static_cast<uint32_t>(box.seen.size());
}

TEST(KernelThreadTest, ExitCodeIsStillActiveUntilTheProcedureReturns) {
    Mailbox box;
    uint32_t id = 0;
    KernelThread* t = createThread(collect, &box, 8, &id);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(id, 0u);
    uint32_t code = 0;
    ASSERT_TRUE(threadExitCode(t, &code));
    EXPECT_EQ(code, threadStillActive);
    EXPECT_FALSE(waitForThread(t, 1));

    box.go = true;
    EXPECT_TRUE(postThreadMessage(id, 7, 0, 0));
    EXPECT_TRUE(postThreadMessage(id, 2, 0, 0));
    EXPECT_TRUE(waitForThread(t, 60000));
    ASSERT_TRUE(threadExitCode(t, &code));
    EXPECT_EQ(code, 1u);
    closeThread(t);
    EXPECT_FALSE(threadExitCode(nullptr, &code));
}

TEST(KernelThreadTest, MessagesArriveInOrderUpToTheQueuesCapacity) {
    Mailbox box;
    uint32_t id = 0;
    KernelThread* t = createThread(collect, &box, 4, &id);
    ASSERT_NE(t, nullptr);
    // The thread does not take anything yet: four fit, the fifth is refused.
    for (uintptr_t i = 0; i < 4; ++i) EXPECT_TRUE(postThreadMessage(id, 10, i, 100 + i)) << i;
    EXPECT_FALSE(postThreadMessage(id, 10, 4, 104));
    box.go = true;
    while (!postThreadMessage(id, 2, 0, 0)) std::this_thread::sleep_for(milliseconds(1));
    closeThread(t);
    ASSERT_EQ(box.seen.size(), 4u);
    for (uintptr_t i = 0; i < 4; ++i) {
        EXPECT_EQ(box.seen[i].wParam, i);
        EXPECT_EQ(box.seen[i].lParam, 100 + i);
    }
    // The thread has gone, and so has its queue.
    EXPECT_FALSE(postThreadMessage(id, 10, 0, 0));
}

TEST(KernelThreadTest, QueuesBelongToTheirOwnThreads) {
    Mailbox a, b;
    uint32_t idA = 0, idB = 0;
    KernelThread* ta = createThread(collect, &a, 8, &idA);
    KernelThread* tb = createThread(collect, &b, 8, &idB);
    ASSERT_NE(ta, nullptr);
    ASSERT_NE(tb, nullptr);
    EXPECT_NE(idA, idB);
    postThreadMessage(idA, 20, 0, 0);
    postThreadMessage(idB, 21, 0, 0);
    postThreadMessage(idB, 22, 0, 0);
    ThreadMessage m;
    EXPECT_FALSE(takeThreadMessage(&m));  // the test's thread has no queue
    a.go = b.go = true;
    postThreadMessage(idA, 2, 0, 0);
    postThreadMessage(idB, 2, 0, 0);
    closeThread(ta);
    closeThread(tb);
    ASSERT_EQ(a.seen.size(), 1u);
    EXPECT_EQ(a.seen[0].message, 20u);
    ASSERT_EQ(b.seen.size(), 2u);
    EXPECT_EQ(b.seen[1].message, 22u);
}

TEST(KernelThreadTest, APriorityHintBecomesTheThreadsNiceValue) {
    Mailbox box;
    uint32_t id = 0;
    KernelThread* t = createThread(collect, &box, 8, &id);
    ASSERT_NE(t, nullptr);
    // Lowering a priority needs no privilege, so the hint must take effect.
    setThreadPriority(t, 6);
    box.go = true;
    postThreadMessage(id, 3, 0, 0);
    postThreadMessage(id, 2, 0, 0);
    closeThread(t);
    EXPECT_EQ(box.niceSeen, 15);
    setThreadPriority(nullptr, 0);  // ignored
}

TEST(WindowMessagesTest, PostedMessagesComeOutInOrderUntilTheQueueIsFull) {
    clearWindowMessages();
    auto* window = reinterpret_cast<WindowHandle>(uintptr_t{0x40});
    for (size_t i = 0; i < windowQueueCapacity; ++i) {
        ASSERT_TRUE(postWindowMessage(window, 960, i, -static_cast<intptr_t>(i))) << i;
    }
    EXPECT_FALSE(postWindowMessage(window, 961, 0, 0));
    EXPECT_EQ(pendingWindowMessages(), windowQueueCapacity);
    WindowMessage m{};
    for (size_t i = 0; i < windowQueueCapacity; ++i) {
        ASSERT_TRUE(takeWindowMessage(&m));
        ASSERT_EQ(m.wParam, i);
        ASSERT_EQ(m.lParam, -static_cast<intptr_t>(i));
    }
    EXPECT_EQ(m.window, window);
    EXPECT_EQ(m.message, 960u);
    EXPECT_FALSE(takeWindowMessage(&m));
    EXPECT_FALSE(waitWindowMessage(&m, 1));
}

TEST(WindowMessagesTest, AWaitEndsWhenAnotherThreadPosts) {
    clearWindowMessages();
    std::thread poster([] {
        std::this_thread::sleep_for(milliseconds(20));
        postWindowMessage(nullptr, 15, 0, 0);
    });
    WindowMessage m{};
    EXPECT_TRUE(waitWindowMessage(&m, 60000));
    EXPECT_EQ(m.message, 15u);
    poster.join();
    postWindowMessage(nullptr, 1, 0, 0);
    clearWindowMessages();
    EXPECT_EQ(pendingWindowMessages(), 0u);
}

}  // namespace
}  // namespace veldra

// A window system on a headless back end for tests: block fonts, a fresh screen, and an
// instance namespace of this process, so that test programs running side by side never
// find each other's windows. Also a window class whose procedure records what it gets.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/window_backend_headless.h"
#include "platform/window_screen.h"
#include "platform/window_system.h"

namespace veldra {

struct ReceivedMessage {
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// What the recording class's windows received, in order (its procedure then passes the
// message to defWindowProc).
std::vector<ReceivedMessage>& receivedMessages();
// The messages with this number, in order.
std::vector<ReceivedMessage> received(uint32_t message);
// Just the message numbers, leaving out paint.
std::vector<uint32_t> receivedNumbers();

inline constexpr const char* recordingClass = "RECORDING";

class WindowSystemTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A visible top-level window of the recording class at the default rectangle.
    WindowHandle makeWindow(const char* title = "Recorder");
    // Dispatches everything waiting (posted, input, paint) without waiting.
    void pump();

    HeadlessBackEnd backEnd;
    SystemScreen screen;
};

}  // namespace veldra

// Window messages: the main thread's queue of posted window messages. Any thread may
// post; the main thread takes. The window system (window_system.h) hands these out from
// its message loop and installs a wake-up that each post calls, so that a loop waiting
// for desktop input notices the message at once.
//
// It carries the capture hand-off's wake-up (message 960) from the capture thread to the
// main thread. The queue is bounded (windowQueueCapacity messages) and allocates nothing:
// a post to a full queue fails and the message is lost, as on the handheld, whose posting
// callers do not look at the result.
//
// The queue only carries a window's handle along with its message; it never looks
// inside the Window.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veldra {

class Window;  // platform/screen/window.h
using WindowHandle = Window*;

struct WindowMessage {
    WindowHandle window;  // the addressee
    uint32_t message;     // the platform's message number
    uintptr_t wParam;     // short parameter
    intptr_t lParam;      // long parameter
};

inline constexpr size_t windowQueueCapacity = 1024;

// Appends a message for the window; false when the queue is full.
bool postWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Takes the oldest message without waiting; false when there is none.
bool takeWindowMessage(WindowMessage* message);

// Takes the oldest message, waiting at most timeoutMs for one; false on time-out.
bool waitWindowMessage(WindowMessage* message, uint32_t timeoutMs);

// Messages waiting.
size_t pendingWindowMessages();

// Installs the function every successful post calls afterwards, on the posting thread,
// outside the queue's lock (null: none). It must be safe to call from any thread.
void setWindowMessageWakeUp(void (*wakeUp)());

// Drops every waiting message (start of a test, or when the window goes away).
void clearWindowMessages();

}  // namespace veldra

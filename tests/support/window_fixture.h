// The window system on a headless back end for tests: block fonts, a fresh screen, and an
// instance namespace of this process, so that test programs running side by side never
// find each other's windows; a window class whose procedure records what it gets. And,
// on top of it, the application's shell with a scripted sound input of one device and
// every module at its start values.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/shell.h"
#include "platform/backends/headless/headless.h"
#include "platform/windows/window_system.h"
#include "tests/support/scripted_wave_in.h"
#include "tests/support/window_hooks.h"

namespace veldra {

struct ReceivedMessage {
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// What the recording class's windows received, in order (its procedure then passes the
// message to defWindowProc); those with one number; all numbers but paint's.
std::vector<ReceivedMessage>& receivedMessages();
std::vector<ReceivedMessage> received(uint32_t message);
std::vector<uint32_t> receivedNumbers();

inline constexpr const char* recordingClass = "RECORDING";

class WindowSystemTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override { stopWindowSystem(); }
    // A visible top-level window of the recording class at the default rectangle.
    WindowHandle makeWindow(const char* title = "Recorder") {
        return createWindow(recordingClass, title, styleVisible, nullptr, nullptr);
    }
    // Dispatches everything waiting (posted, input, paint) without waiting, through the
    // accelerators when given; false once the quit message came (its code in quitCode).
    bool pump(WindowHandle window = nullptr, const AcceleratorTable* accelerators = nullptr);
    HeadlessBackEnd backEnd;
    ControlledScreen screen;
    int32_t quitCode = -1;  // -1 until quit
};

class AppTest : public WindowSystemTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // initInstance with the start-up notice answered by Enter; false if it failed.
    bool start() {
        backEnd.press(keyReturn);
        return initInstance(&programResources(), showNormal);
    }
    // As the program's loop does, accelerators included.
    bool pump() {
        return WindowSystemTest::pump(mainWindow(),
                                      loadAccelerators(programResources(), acceleratorResource));
    }
    // Runs script every time the system would wait, until it returns false.
    void whenIdle(std::function<bool()> script) { backEnd.setIdleScript(std::move(script)); }
    // Answers every modal window with Enter, noting its caption and text, or the title of
    // a dialog, in seenModals.
    void answerModalsWithEnter();
    std::vector<std::string> seenModals;
    WindowHandle mainWindow() const { return shellState().mainWindow; }
    ScriptedWaveIn input;
};

// The middle of item index of a menu with count items: in the block font items are 16 rows
// (10 + 2 * 3), and the menu sits on row 294 with 2 rows of frame.
inline constexpr int32_t menuItemY(int32_t count, int32_t index) {
    return 294 - (count * 16 + 4) + 2 + index * 16 + 8;
}

}  // namespace veldra

// The whole shell on the headless window system, for the application's tests: block
// fonts, a fresh screen, a scripted sound input with one device, every module at its
// start values, and an instance namespace of this process. start() runs initInstance
// with the start-up notice answered by Enter.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/shell.h"
#include "platform/wave_in_scripted.h"
#include "platform/window_backend_headless.h"
#include "platform/window_screen.h"
#include "platform/window_system.h"

namespace veldra {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // initInstance with the notice dismissed; false if it failed.
    bool start();
    // Dispatches everything waiting as the program's loop does (accelerators included),
    // without waiting; false once the quit message came.
    bool pump();
    // Runs script every time the system would wait, until it returns false.
    void whenIdle(std::function<bool()> script) { backEnd.setIdleScript(std::move(script)); }
    // Captions of the message boxes and dialog titles seen while idle.
    std::vector<std::string> seenModals;
    // Answers every modal window with Enter, noting what it was.
    void answerModalsWithEnter();

    WindowHandle mainWindow() const { return shellState().mainWindow; }

    HeadlessBackEnd backEnd;
    SystemScreen screen;
    ScriptedWaveIn input;
    bool quit = false;
    int32_t quitCode = -1;
};

// Screen coordinates of the menus in the block font (see support/block_font.h).
inline constexpr int32_t startButtonX = 20;       // "Start": x 0..46
inline constexpr int32_t instrumentButtonX = 80;  // "Instrument": x 46..122
inline constexpr int32_t helpButtonX = 140;       // "Help": x 122..162
inline constexpr int32_t imageButtonX = 175;      // the image: x 162..190
inline constexpr int32_t menuBarY = 307;
// The middle of item index of a menu with count items (16 rows each, above row 294).
inline constexpr int32_t menuItemY(int32_t count, int32_t index) { return 294 - (count * 16 + 4) + 2 + index * 16 + 8; }

}  // namespace veldra

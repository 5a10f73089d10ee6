// The browser's window back end: the handheld's screen on the page's canvas.
//
// The page's script (web/site/veldra.js) shows each presented screen on a 240 x 320
// canvas (RGB565 turned into RGBA, drawn at the next animation frame, scaled by CSS with
// pixelated scaling to fit the viewport) and turns the page's events into input: a
// pointer (mouse, pen or touch) pressed on the canvas is the stylus, in screen pixels;
// keys as on the desktop (letters, digits, Enter, Escape, Space, the arrows, F10, with
// Control and Shift); the page hidden is Minimised, the window's focus lost and gained
// are FocusLost and FocusGained. It hands them in through veldra_web_input.
//
// Waiting: the message loop runs on the browser's one thread, so a wait for input gives
// the thread back to the browser (an ASYNCIFY sleep on a promise) until wake() or an input
// event resolves it; waiting costs nothing while idle. Calls made into the program while
// it waits (input, sound) only queue and wake; they never wait themselves.
//
// The readout strip (views/readout.h) goes to a second canvas below the screen, as many
// rows as the back end is made with, scaled with it.
//
// One back end exists at a time (the page's program makes it); makeWebBackEnd returns
// null while another lives.
// Thread: the browser's one thread.
#pragma once

#include <memory>

#include "platform/windows/windows.h"

namespace veldra {

std::unique_ptr<WindowBackEnd> makeWebBackEnd(int32_t readoutRows);

// Tells the page that the program has ended, with its exit code (0: the user closed it;
// 1: it failed, standard error says why), so that the page offers to start it again.
void tellPageProgramEnded(int32_t exitCode);

}  // namespace veldra

// The application shell: the program's one main window and everything around it.
//
//   programEntry     start-up (initInstance), then the message loop with accelerator
//                    table 3 until the quit message; returns its exit code (0 when a
//                    running copy came to the front instead; 1, said on stderr, when the
//                    running copy did not answer)
//   initInstance     the start-up steps up to the window's first show: single-instance
//                    check, window class and main window (which makes the menu bar),
//                    display, background picture, octave ranges, display preparation for
//                    the window less the menu bar, full screen, refresh divisor, the
//                    modal start-up notice, show and update
//   rememberChoices  before the start: the kept choices (and the command line's, for the
//                    run) to the tuner; from then on each choice the player makes is kept
//   mainWindowProc   the main window's messages: the first paint sets up the views and
//                    starts capture; later paints show the information text after a mode
//                    command or while paused, else the dial's last frame; the mode
//                    commands and Start > Settings; pause (deactivation, focus loss, cancel-mode,
//                    hibernate) and resume (activation, stylus lifted, a menu closed with nothing
//                    chosen); the shut-down on destroy
//   aboutDialogProc, noticeDialogProc   dialogs 103 and 118; the notice ends with
//                    commandOk, noticeSkipButton (not to be shown again) or noticeQuit
//                    (Control+Q: the program ends before its window shows)
//
// Shut-down, on destroy: stop the tuner (the stream, the display, the hand-off), destroy
// the menu bar, quit with the exit code: 0, or 1 after a failure (which standard error
// names in one line; a failure reported as success would fool a script or a launcher).
//
// Pause and resume, the capture's wake-ups and a lost input are the tuner's to act on
// (tuner_state.h): the shell tells it, and the tuner tells the display, the pipeline and
// the readout strip. A lost input (InputStateMessage): the desktop window's title says
// so, and the tuner takes its marks off the dial until the input is back. An input that
// would not open at all: the failure box and the readout say why (inputFailure), for a
// player who started the program from a menu and never sees standard error.
//
// Thread: main thread only. The shell's state is one record (ShellState); tests read it
// and put it back with resetShell.
#pragma once

#include <cstdint>
#include <string>

#include "app/remembered_choices.h"
#include "app/resource_script.h"
#include "platform/sound_input/sound_input.h"
#include "platform/windows/windows.h"
#include "tuner/tuner.h"

namespace veldra {

// What the shell keeps.
struct ShellState {
    const ResourceTable* appInstance;  // the program's resources; kept by initInstance
    WindowHandle mainWindow;           // null until created
    WindowHandle menuBar;              // null when it could not be made
    Bitmap backgroundBitmap;           // picture 124, loaded at start-up
    ActivateInfo activateInfo;         // the shell's activation record; size 12 from create
    uint8_t firstPaintDone;            // 1 once the first paint ran its sequence
    int32_t exitCode;                  // the program's: 1 once the window, the display or the
                                       // input failed; set where it failed, read at the end
    bool remembering;                  // choices come from and go to the settings store: set
                                       // by rememberChoices before the start
    SettingsValues kept;               // what the store holds (other programs' names too):
                                       // read at start, written on each choice the player makes
    RememberedChoices remembered;      // the choices as kept: this run's are the tuner's
                                       // (tunerChoices), the command line's laid over these
    bool informationDue;               // a mode command asked for its information text: set
                                       // by the command, cleared by the paint that draws it
    bool pausedForMenu;                // an open menu paused a running tuner: set when the
                                       // menu takes the focus, read when it closes (nothing
                                       // chosen: the tuner goes on)
};

// Before programEntry: the choices the settings store keeps, with overrides (the command
// line's) laid over them for this run, go to the tuner, and from then on the shell keeps
// each choice the player makes (an Instrument command, the settings dialog, the notice's
// "Don't show this again"). False, with error in one line and nothing applied, when an
// override does not fit (a tuning the resulting mode does not have). Without it the shell
// starts from the defaults and keeps nothing (tools, tests).
bool rememberChoices(const ChoiceOverrides& overrides, std::string& error);

// What the start-up notice's dialog gives back for Control+Q.
inline constexpr intptr_t noticeQuit = -1;

// The shell's own window message: the sound input's new state (wParam: an InputState).
inline constexpr uint32_t InputStateMessage = 961;

// The sound input's state listener (platform/sound_input): posts InputStateMessage to the
// main window. Any thread.
void inputStateChanged(InputState state);

int32_t programEntry(const ResourceTable* instance, int32_t showState);
// The whole program on a window back end: source installed as the sound input and the
// window system started around programEntry with the program's resources; returns its
// exit code. The desktop's main, the browser's and tools/screens run it.
int32_t runProgram(WindowBackEnd& backEnd, WaveInSource* source, const SystemFonts& fonts);
bool initInstance(const ResourceTable* instance, int32_t showState);
intptr_t mainWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The menu bar from description 102 with the image of bitmap 120; null on failure.
WindowHandle createMenuBar(WindowHandle window);
bool aboutDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool noticeDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Read-only view, and back to the start values (remembering nothing), for tests.
const ShellState& shellState();
void resetShell();

}  // namespace veldra

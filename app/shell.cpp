// The shell: start-up, the main window's procedure, the paint handling, the command
// table and the shut-down.
//
// Sections: state / entry and start-up / paint / commands / the window procedure /
// shut-down / dialogs
#include "app/shell.h"

#include <cstdio>
#include <memory>

#include "app/desktop_readout.h"
#include "app/settings_dialog.h"
#include "platform/desktop/desktop.h"
#include "platform/sound_files/sound_files.h"
#include "tuner/tuner.h"
#include "views/views.h"

namespace veldra {
namespace {

// ---- state ----
ShellState startState() {
    return ShellState{};
}

ShellState shell = startState();

constexpr size_t stringCapacity = 100;  // characters of the class-name and title buffers
constexpr uint32_t fullScreenFlags =
    fullScreenShowTaskBar | fullScreenHideInputPanel | fullScreenShowStartIcon;               // 25
constexpr uint32_t dialogFlags = dialogDoneButton | dialogFullScreen | dialogInputPanelDown;  // 13
constexpr const char* helpCommandLine = "file:Veldra.htm#Main_Contents";

}  // namespace

bool rememberChoices(const ChoiceOverrides& overrides, std::string& error) {
    SettingsValues kept = loadSettings();
    const RememberedChoices remembered = choicesFromSettings(kept);
    TunerChoices run = remembered.tuner;
    if (!overrideChoices(overrides, run, error)) return false;
    applyTunerChoices(run);
    shell.remembering = true;
    shell.kept = std::move(kept);
    shell.remembered = remembered;
    return true;
}

namespace {

// The player changed a choice (already in remembered): into the store.
void keepChoices() {
    if (!shell.remembering) return;
    writeChoices(shell.remembered, shell.kept);
    saveSettings(shell.kept);  // a store that cannot keep them says so once itself
}

}  // namespace

void inputStateChanged(InputState state) {
    if (shell.mainWindow != nullptr)
        postMessage(shell.mainWindow, InputStateMessage, static_cast<uintptr_t>(state), 0);
}

const ShellState& shellState() {
    return shell;
}
void resetShell() {
    shell = startState();
    resetDesktopReadout();
}

// ---- entry and start-up ----
int32_t programEntry(const ResourceTable* instance, int32_t showState) {
    if (!initInstance(instance, showState)) return shell.exitCode;
    const AcceleratorTable* accelerators = loadAccelerators(*instance, acceleratorResource);
    WindowMessage message;
    while (getMessage(&message)) {
        if (accelerators == nullptr ||
            !translateAccelerator(shell.mainWindow, *accelerators, message)) {
            dispatchMessage(message);
        }
    }
    return static_cast<int32_t>(message.wParam);
}

int32_t runProgram(WindowBackEnd& backEnd, WaveInSource* source, const SystemFonts& fonts) {
    installWaveInSource(source);
    const auto screen = std::make_unique<SystemScreen>();  // display memory: not on the stack
    startWindowSystem(backEnd, *screen, fonts);
    const int32_t exitCode = programEntry(&programResources(), showNormal);
    stopWindowSystem();
    installWaveInSource(nullptr);
    return exitCode;
}

bool initInstance(const ResourceTable* instance, int32_t showState) {
    shell.appInstance = instance;
    char className[stringCapacity];
    char title[stringCapacity];
    loadString(*instance, classNameString, className, stringCapacity);
    loadString(*instance, titleString, title, stringCapacity);

    RunningWindow running;
    std::string alone;  // why this copy cannot keep to one window, if it cannot
    if (findRunningWindow(className, title, running, &alone)) {
        // With its owned windows, as the handheld does. A copy that does not answer shows
        // nothing, so this start must not end as if it had: it says so, and ends with 1.
        const std::string other =
            running.process > 0 ? " (process " + std::to_string(running.process) + ")" : "";
        if (!bringRunningWindowForward(running, true)) {
            std::fprintf(stderr,
                         "veldra: the running copy%s does not answer; not starting another\n",
                         other.c_str());
            shell.exitCode = 1;
        }
        return false;
    }
    if (!alone.empty())
        std::fprintf(stderr,
                     "veldra: single instance off: %s; another start opens another window\n",
                     printableText(alone).c_str());

    registerClass({3, mainWindowProc, loadBitmapResource(iconResource), colourBlack, className});
    shell.mainWindow = createWindow(className, title, styleVisible, nullptr, nullptr);
    if (shell.mainWindow == nullptr) {
        std::fprintf(stderr, "veldra: cannot create the main window\n");
        shell.exitCode = 1;
        return false;
    }
    listenToReadout(showDesktopReadout);
    Rect r{};
    if (!startTunerDisplay(*shell.mainWindow, r)) {
        std::fprintf(stderr, "veldra: cannot use the display: %s\n", tunerDisplayRefusal());
        shell.exitCode = 1;
        return false;
    }
    shell.backgroundBitmap = loadBitmapResource(backgroundResource);
    if (shell.menuBar != nullptr)
        moveWindow(shell.mainWindow, r.left, r.top, r.right - r.left, r.bottom - r.top, false);
    setFullScreen(shell.mainWindow, fullScreenFlags);

    const DialogTemplate* notice = loadDialog(*instance, noticeDialogResource);
    if (notice != nullptr && !shell.remembered.skipNotice) {
        const intptr_t answer = dialogBox(*notice, shell.mainWindow, noticeDialogProc);
        if (answer == noticeQuit) {
            // Control+Q on the notice: the program ends as from its window, with 0.
            destroyWindow(shell.mainWindow);
            return false;
        }
        if (answer == noticeSkipButton) {
            shell.remembered.skipNotice = true;
            keepChoices();
        }
    }
    showWindow(shell.mainWindow, showState);
    updateWindow(shell.mainWindow);
    return true;
}

WindowHandle createMenuBar(WindowHandle window) {
    const MenuBarDescription* description = loadMenuBar(*shell.appInstance, menuResource);
    if (description == nullptr) return nullptr;
    const WindowHandle bar = createMenuBar(window, *description);
    if (bar == nullptr) return nullptr;
    addMenuBarBitmap(bar, loadBitmapResource(menuBarImageResource), 1);
    return bar;
}

namespace {

// ---- paint ----
void firstPaint(WindowHandle window) {
    startTunerViews(*window, shell.backgroundBitmap);
    setNavigationBarText(window, modeTitle(tunerChoices().mode));
    if (!startTunerCapture(*window)) {
        // Standard error has named the input and why it failed; the box and the readout
        // say it too.
        const std::string why = inputFailure();
        setInputFailed(why);
        shell.exitCode = 1;
        showMessageBox(window, why.empty() ? "Sound input failed!" : "Sound input failed!\n" + why,
                       "Fatal error", messageBoxExclamation);
        postMessage(window, messageClose, 0, 0);
    }
}

void paint(WindowHandle window) {
    Rect client = window->clientRect();
    invalidateWindow(window, true);
    DrawingContext* context = beginPaint(window);
    const bool tuning = !tunerState().paused || shell.pausedForMenu;
    if (shell.firstPaintDone != 0 && tuning && !shell.informationDue) {
        // Tuning (or only held while a menu is open): the dial is what the window shows;
        // its text belongs to a pause or to a mode just chosen.
        repaintTuner();
    } else if (shell.firstPaintDone != 0) {
        shell.informationDue = false;
        if (context != nullptr) {
            context->setBackgroundColour(colourBlack);
            context->setTextColour(colourWhite);
            drawInstrumentInfo(*context, client, tunerChoices().mode);
        }
    } else {
        shell.firstPaintDone = 1;
        firstPaint(window);
    }
    endPaint(window, context);
}

// ---- commands ----

// Help > Content: the help page in the desktop's browser; when no browser opens it, the
// player is told where the page is instead of nothing happening.
void openHelp(WindowHandle window) {
    if (startHelpViewer(helpCommandLine)) return;
    const std::string page = helpPagePath(helpCommandLine);
    const std::string text = page.empty()
                                 ? "The help page is not installed with the program."
                                 : "No web browser could show the help page. It is " + page;
    showMessageBox(window, text, "Help", messageBoxExclamation);
}
void modeCommand(WindowHandle window, InstrumentKind kind) {
    shell.informationDue = true;
    setNavigationBarText(window, modeTitle(kind));
    invalidateWindow(window, true);
    applyTunerMode(kind);
}

// Start > Settings: what the player says OK to is this run's and kept. A new mode is
// shown as its command shows it: the information text, the tuner paused until a tap.
void settingsCommand(WindowHandle window) {
    RememberedChoices chosen{tunerChoices(), shell.remembered.skipNotice};
    const TunerChoices before = tunerChoices();
    if (!runSettingsDialog(window, chosen)) return;
    applyTunerChoices(chosen.tuner);
    shell.remembered = chosen;
    keepChoices();
    if (chosen.tuner.mode != before.mode || chosen.tuner.tuning != before.tuning) {
        modeCommand(window, chosen.tuner.mode);
        pauseTuner();
    }
}

// The Instrument menu: each command and the mode it chooses.
struct ModeCommand {
    uint16_t command;
    InstrumentKind kind;
};
constexpr ModeCommand modeCommands[] = {
    {commandGuitar, InstrumentKind::Guitar},   {commandViolin, InstrumentKind::Violin},
    {commandCello, InstrumentKind::Cello},     {commandErhu, InstrumentKind::Erhu},
    {commandPipa, InstrumentKind::Pipa},       {commandBass, InstrumentKind::Bass},
    {commandSinging, InstrumentKind::Singing}, {commandAlto, InstrumentKind::Alto},
};

intptr_t command(WindowHandle window, uintptr_t wParam, intptr_t lParam) {
    for (const ModeCommand& mode : modeCommands) {
        if (mode.command == lowWord(wParam)) {
            modeCommand(window, mode.kind);
            // Kept as the command sets it: another mode in its default tuning.
            TunerChoices& kept = shell.remembered.tuner;
            if (kept.mode != mode.kind) kept.tuning = 0;
            kept.mode = mode.kind;
            keepChoices();
            return 0;
        }
    }
    switch (lowWord(wParam)) {
        case commandClose:
            // Paused as on any deactivation, then closed.
            sendMessage(window, messageActivate, activationInactive,
                        reinterpret_cast<intptr_t>(window));
            sendMessage(window, messageClose, 0, 0);
            return 0;
        case commandAbout:
            if (const DialogTemplate* about = loadDialog(*shell.appInstance, aboutDialogResource)) {
                dialogBox(*about, window, aboutDialogProc);
            }
            return 0;
        case commandContent:
            openHelp(window);
            return 0;
        case commandSettings:
            settingsCommand(window);
            return 0;
        case commandExit:
            postMessage(window, messageClose, 0, 0);
            return 0;
        default:
            return defWindowProc(window, messageCommand, wParam, lParam);
    }
}

// ---- the input's state ----

void inputState(InputState state) {
    char title[stringCapacity];
    loadString(*shell.appInstance, titleString, title, stringCapacity);
    const char* said = state == InputState::Lost          ? ": input lost, retrying"
                       : state == InputState::LostForGood ? ": input lost"
                                                          : "";
    setDesktopTitle(std::string(title) + said);
    setInputLost(state != InputState::Present, state == InputState::LostForGood);
}

// ---- shut-down ----
void shutDown() {
    stopTuner();
    listenToReadout(nullptr);
    destroyWindow(shell.menuBar);
    postQuitMessage(shell.exitCode);
}

}  // namespace

// ---- the window procedure ----

intptr_t mainWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case messageCreate:
            shell.menuBar = createMenuBar(window);
            shell.activateInfo = ActivateInfo{};
            shell.activateInfo.size = sizeof(ActivateInfo);
            return 0;
        case messageDestroy:
            shutDown();
            return 0;
        case messageActivate:
            handleActivateMessage(window, wParam, lParam, &shell.activateInfo);
            if (lowWord(wParam) == activationInactive) {
                pauseTuner();
            } else {
                resumeTuner();
            }
            return 0;
        case messageKillFocus:
            // A menu taking the focus from a running tuner pauses it only while it is open.
            if (wParam == reinterpret_cast<uintptr_t>(shell.menuBar) && shell.menuBar != nullptr)
                shell.pausedForMenu = !tunerState().paused;
            pauseTuner();
            return 0;
        case messageExitMenuLoop:
            // Nothing chosen (Escape, a tap beside the menu): the tuner as it was before.
            if (wParam == 0 && shell.pausedForMenu) resumeTuner();
            shell.pausedForMenu = false;
            return 0;
        case messageCancelMode:
        case messageHibernate:
            pauseTuner();
            return 0;
        case messagePaint:
            paint(window);
            return 0;
        case messageSettingChange:
            handleSettingChangeMessage(window, wParam, lParam, &shell.activateInfo);
            return 0;
        case messageCommand:
            return command(window, wParam, lParam);
        case messageButtonDown:
            return 0;
        case messageButtonUp:
            resumeTuner();
            return 0;
        case messageKeyDown:
            // Space and Enter resume as a tap does, for a player without a mouse; with a
            // menu or a dialog up, the keys are theirs and never come here.
            if (wParam == keySpace || wParam == keyReturn) resumeTuner();
            return 0;
        case InputStateMessage:
            inputState(static_cast<InputState>(wParam));
            return 0;
        default:
            if (handleTunerMessage(message)) return 0;
            return defWindowProc(window, message, wParam, lParam);
    }
}

// ---- dialogs ----
bool aboutDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == messageInitDialog) {
        initDialog(dialog, dialogFlags);
        return true;
    }
    if (message == messageCommand && lowWord(wParam) == commandOk) {
        endDialog(dialog, commandOk);
        return true;
    }
    return false;
}

bool noticeDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == messageInitDialog) {
        initDialog(dialog, dialogFlags);
        return true;
    }
    if (message == messageKeyDown && (wParam == keyUp || wParam == keyDown || wParam == keyTab)) {
        // The keys' way to "Don't show this again": Down or Tab frames it, Up OK again.
        setDialogFocus(dialog, wParam == keyUp ? noticeOkButton : noticeSkipButton);
        return true;
    }
    if (message == messageKeyDown) {
        // The program's keys work while the notice is up (Control+Q above all).
        const AcceleratorTable* keys = loadAccelerators(*shell.appInstance, acceleratorResource);
        return keys != nullptr &&
               translateAccelerator(dialog, *keys, {dialog, message, wParam, lParam});
    }
    if (message == messageCommand) {
        const uint16_t id = lowWord(wParam);
        if (id == commandClose && highWord(wParam) == commandFromAccelerator) {
            endDialog(dialog, noticeQuit);
        } else if (id == commandOk || id == noticeOkButton || id == noticeSkipButton) {
            endDialog(dialog, id);
        }
    }
    return false;
}

}  // namespace veldra

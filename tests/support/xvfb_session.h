// The real program on an X server of its own, for the end-to-end test and the program's
// benchmark: an Xvfb started on a free display, child processes with extra environment
// variables, xdotool on that display, and the program's window read back as the
// handheld's 240 x 320 RGB565 screen.
//
// Failure: false / empty with the reason in words. Everything started is stopped by the
// destructors, whatever happens in between.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/screen/screen.h"
#include "views/views.h"

typedef struct _XDisplay Display;

namespace veldra {

class XvfbSession {
  public:
    XvfbSession() = default;
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;
    ~XvfbSession();
    // Starts Xvfb (a screen of screenSize, 24 bits) on a display it picks itself and
    // connects to it.
    bool start(std::string& why, const std::string& screenSize = "1024x768");
    const std::string& display() const { return display_; }
    Display* connection() const { return connection_; }

  private:
    pid_t server_ = -1;
    std::string display_;  // ":N"
    Display* connection_ = nullptr;
};

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    // Starts arguments[0] (looked for on PATH) with the environment plus extra
    // ("NAME=value" each); its standard output and error go to a file (errorOutput).
    bool start(const std::vector<std::string>& arguments, const std::vector<std::string>& extra,
               std::string& why);
    // The exit status once it has ended within timeoutMs (128 + signal for a signal).
    std::optional<int> wait(int timeoutMs);
    void kill();
    pid_t pid() const { return pid_; }
    std::string errorOutput() const;

  private:
    pid_t pid_ = -1;
    std::string outputFile_;
};

// Runs xdotool with the arguments on the session's display, for at most timeoutMs; true
// when it exits 0. On failure why (when given) says what it printed. output (when
// given) receives what it printed.
bool xdotool(const XvfbSession& session, const std::vector<std::string>& arguments,
             std::string* why = nullptr, int timeoutMs = 10000, std::string* output = nullptr);

// Gives the window the keyboard focus and waits until the server says it has it.
bool focusWindow(const XvfbSession& session, unsigned long window);

// The visible top-level window named exactly name, waiting at most timeoutMs; 0 when none.
unsigned long findWindow(const XvfbSession& session, const std::string& name, int timeoutMs);

// The rows of the program's picture: the handheld's screen and the readout strip below it.
inline constexpr int pictureRows = screenHeight + readoutHeight;

// The window's picture: 240 x pictureRows RGB565 pixels (the handheld's screen, then the
// readout strip), each read from the middle of its scaled square, the scale and the black
// bars worked out from the window's size as the program's back end does. False when the
// window cannot be read.
bool readScreen(const XvfbSession& session, unsigned long window, std::vector<uint16_t>& screen);

// Where screen pixel (x, y) lies in the window, for pointing at it.
void windowPoint(const XvfbSession& session, unsigned long window, int x, int y, int& wx, int& wy);

// Processor time (user + system) the process has used, in seconds.
double processorSeconds(pid_t pid);

}  // namespace veldra

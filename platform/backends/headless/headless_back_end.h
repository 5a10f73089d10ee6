// HeadlessBackEnd: a window back end without a desktop, for tools and tests. Its input is
// a script: events queued by the caller, and an idle hook that may queue more when the
// window system has nothing else to do. Presenting keeps the picture (and the readout
// strip's memory) for the caller to read.
//
// A wait with nothing scripted sleeps until a post from another thread wakes it, but at
// most waitLimitMs; after that it reports on standard error and aborts the process, so
// that a script that forgot an answer fails at once instead of hanging.
//
// Threads: wake() from any thread; the rest on the main thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/windows/windows.h"

namespace veldra {

class HeadlessBackEnd final : public WindowBackEnd {
  public:
    void present(const uint16_t* pixels) override;
    bool nextInput(InputEvent& event, bool wait) override;
    void wake() override;
    void raise() override { ++raises_; }
    void setIcon(const Bitmap&) override {}
    void setTitle(std::string_view title) override { title_ = title; }
    void presentReadout(const uint16_t* pixels) override { readout_ = pixels; }

    // ---- the script ----
    void queue(const InputEvent& event) { input_.push_back(event); }
    void tap(int32_t x, int32_t y);                  // down and up at a screen point
    void press(uint32_t key, bool control = false);  // down and up
    // Called when the system would wait for input. It may queue input, post messages or
    // call the window system; it returns true when it did something, so that the system
    // looks again before it waits.
    void setIdleScript(std::function<bool()> script) { idle_ = std::move(script); }

    // ---- what happened ----
    const std::vector<uint16_t>& lastPicture() const { return picture_; }
    int32_t raises() const { return raises_; }
    const std::string& title() const { return title_; }
    const uint16_t* readout() const { return readout_; }

  private:
    std::deque<InputEvent> input_;  // the script, oldest first
    std::function<bool()> idle_;
    int32_t waitLimitMs_ = 10000;
    std::mutex mutex_;  // guards woken_
    std::condition_variable wakeUp_;
    bool woken_ = false;             // wake() called since the last wait
    std::vector<uint16_t> picture_;  // the last picture presented
    int32_t raises_ = 0;
    std::string title_ = "Veldra";  // as a desktop window starts
    const uint16_t* readout_ = nullptr;
};

}  // namespace veldra

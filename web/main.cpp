// veldra in the browser: the same program as the desktop's (app/main.cpp), on the
// browser's back ends. The page (site/index.html, site/veldra.js) loads it; main runs the
// shell until its quit message and then tells the page how it ended, so that the page can
// offer to start again instead of leaving a dead screen.
//
// One thread: the microphone's sound is recorded into the capture stream's device by the
// page's calls (platform/web/wave_in_web.h), and after each piece this file runs the
// capture thread's step, which stores the filled blocks in the ring and wakes the main
// window exactly as the capture thread does on the desktop. The hand-off and everything
// after it are the desktop's.
#include <emscripten.h>

#include <memory>
#include <string>

#include "app/app.h"
#include "audio/audio.h"
#include "platform/fonts/fonts.h"
#include "platform/web/web.h"
#include "tuner/tuner.h"

namespace {

void storeBlocks(void* stream) {
    veldra::storeWaitingBlocks(*static_cast<veldra::WaveInStream*>(stream));
}

// After a piece of sound: the capture thread's work, while it exists.
void captureStep() {
    veldra::WaveInStream& stream = veldra::captureStream();
    if (stream.thread != nullptr) veldra::runThreadStep(stream.thread, storeBlocks, &stream);
}

}  // namespace

// For the page's measurements and tests: refresh points that reached the dial so far, and
// whether a menu is open.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t veldra_web_refreshes() {
    return veldra::pipelineState().dialRefreshes;
}
extern "C" EMSCRIPTEN_KEEPALIVE int32_t veldra_web_menu_open() {
    return veldra::openMenuButton() >= 0 ? 1 : 0;
}

// Where control id of the dialog in front, or item index of the open menu, lies: side
// 0..3 of its rectangle (left, top, right, bottom) in screen pixels; 0 for none.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t veldra_web_control_rect(int32_t id, int32_t side) {
    const veldra::Rect r = veldra::frontDialogControlRect(id);
    return side == 0 ? r.left : side == 1 ? r.top : side == 2 ? r.right : r.bottom;
}
extern "C" EMSCRIPTEN_KEEPALIVE int32_t veldra_web_menu_item_rect(int32_t index, int32_t side) {
    const veldra::Rect r = veldra::openMenuItemRect(index);
    return side == 0 ? r.left : side == 1 ? r.top : side == 2 ? r.right : r.bottom;
}

// What the readout shows, for the page's tests: its note ("A 2") and cents ("+4 cents") as
// worded on the strip (part 0 and 1), empty while it shows no reading; and the frequency
// it shows them for, Hz.
extern "C" EMSCRIPTEN_KEEPALIVE const char* veldra_web_reading_words(int32_t part) {
    static veldra::ReadoutWords words;
    const veldra::Readout& shown = veldra::desktopReadout();
    words = shown.kind == veldra::ReadoutKind::Reading ? veldra::wordReadout(shown)
                                                       : veldra::ReadoutWords{};
    return part == 0 ? words.note : words.cents;
}
extern "C" EMSCRIPTEN_KEEPALIVE double veldra_web_reading_frequency() {
    return veldra::desktopReadout().frequency;
}

int main() {
    using namespace veldra;
    const std::unique_ptr<WindowBackEnd> backEnd = makeWebBackEnd(readoutHeight);
    const std::unique_ptr<WaveInSource> microphone = makeWebMicrophone();
    setSoundDeliveredHook(captureStep);
    std::string unused;           // no overrides: nothing that could not fit
    rememberChoices({}, unused);  // kept in the page's storage
    const int32_t exitCode = runProgram(*backEnd, microphone.get(), builtInFonts().system());
    setSoundDeliveredHook(nullptr);
    tellPageProgramEnded(exitCode);
    return exitCode;
}

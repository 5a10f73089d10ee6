// veldra-screens FOLDER [HZ]: the program's screens as the native window system draws them,
// with the built-in fonts, on a back end without a desktop: what the browser's page must
// show byte for byte (web/tests/). The real shell runs twice, from a fresh start each
// time, with a script that answers the start-up notice with Enter:
//   - with the demo performance as its sound, it opens the Instrument menu with a tap once
//     the dial has shown half a second of sound, then quits with Ctrl+Q;
//   - without a sound input, it answers the failure's message box with Enter.
//
// Writes into FOLDER:
//   menu-instrument.png    the screen with the Instrument menu open over the dial
//   sound-input-failed.png the screen with the "Sound input failed!" box
//   layout.json            where the menu bar's buttons, the open menu and its items lie
//                          (screen pixels, [left, top, right, bottom)), for taps
//   readout-N.png          with HZ: every different readout strip (views/readout.h) that
//                          the shared renderer draws for a Guitar reading within one cent
//                          of HZ, N from 1
// Exit status 0 when done, 1 when the screens could not be had or written.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/backends/headless/headless.h"
#include "platform/chrome/chrome.h"
#include "platform/fonts/fonts.h"
#include "platform/sound_input/sound_input.h"
#include "platform/windows/windows.h"
#include "tuner/tuner.h"
#include "views/views.h"

namespace {

using namespace veldra;

std::string rectJson(const Rect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "[%d, %d, %d, %d]", r.left, r.top, r.right, r.bottom);
    return text;
}

// The program (runProgram) on backEnd with source as the sound input, from a fresh start,
// answering the start-up notice with Enter.
void runShell(HeadlessBackEnd& backEnd, WaveInSource* source, const SystemFonts& fonts) {
    resetShell();
    resetTuner();
    backEnd.press(keyReturn);
    runProgram(backEnd, source, fonts);
}

// The readout strips of Guitar readings from a cent below frequency to a cent above, in
// steps of a hundredth of a cent: each different one once.
bool writeReadouts(const std::string& folder, double frequency) {
    if (!(frequency > 0)) return false;
    std::vector<std::vector<uint16_t>> strips;
    std::vector<uint16_t> strip(readoutWidth * readoutHeight);
    for (int32_t step = -100; step <= 100; ++step) {
        const auto reading = static_cast<float>(frequency * std::exp2(step / 120000.0));
        drawReadoutStrip(strip.data(), {ReadoutKind::Reading, reading, InstrumentKind::Guitar});
        if (std::find(strips.begin(), strips.end(), strip) == strips.end()) strips.push_back(strip);
    }
    std::string error;
    for (size_t i = 0; i < strips.size(); ++i) {
        const std::string path = folder + "/readout-" + std::to_string(i + 1) + ".png";
        if (!writePngFile(path, strips[i].data(), readoutWidth, readoutHeight, error)) {
            std::fprintf(stderr, "veldra-screens: %s\n", error.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: veldra-screens FOLDER [HZ]\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (argc == 3 && !writeReadouts(folder, std::strtod(argv[2], nullptr))) return 1;
    const SystemFonts fonts = builtInFonts().system();
    const MenuBarDescription* menu = loadMenuBar(programResources(), menuResource);
    if (menu == nullptr) return 1;
    std::vector<Rect> buttons(menu->buttons.size());
    layOutMenuBar(fonts, menu->buttons, buttons);
    const Rect button = buttons[instrumentButton];
    const std::span<const MenuItem> items = menu->buttons[instrumentButton].items;
    const Rect popup = popupMenuRect(fonts, items, button);

    // The shell with the demo as its sound: the dial, then the Instrument menu open.
    HeadlessBackEnd backEnd;
    std::string error;
    bool tapped = false;
    bool menuWritten = false;
    backEnd.setIdleScript([&] {
        if (!tapped && pipelineState().dialRefreshes >= 5) {
            backEnd.tap((button.left + button.right) / 2, (button.top + button.bottom) / 2);
            tapped = true;
            return true;
        }
        if (tapped && !menuWritten && openMenuButton() == instrumentButton) {
            menuWritten =
                writePngFile(folder + "/menu-instrument.png", backEnd.lastPicture().data(),
                             screenWidth, screenHeight, error);
            backEnd.queue({InputKind::KeyDown, 0, 0, keyEscape});
            backEnd.queue({InputKind::KeyDown, 0, 0, 'Q', true});
            return true;
        }
        return false;
    });
    const std::unique_ptr<WaveInSource> demo = makeDemoSource();
    runShell(backEnd, demo.get(), fonts);

    // The shell without a sound input: the failure's message box.
    HeadlessBackEnd failing;
    bool failureWritten = false;
    failing.setIdleScript([&] {
        const std::vector<WindowHandle> modal = modalWindows();
        if (failureWritten || modal.empty() ||
            messageBoxText(modal.back()) != "Sound input failed!")
            return false;
        failureWritten =
            writePngFile(folder + "/sound-input-failed.png", failing.lastPicture().data(),
                         screenWidth, screenHeight, error);
        failing.queue({InputKind::KeyDown, 0, 0, keyReturn});
        return true;
    });
    runShell(failing, nullptr, fonts);

    if (!menuWritten || !failureWritten) {
        std::fprintf(stderr, "veldra-screens: %s\n",
                     !error.empty() ? error.c_str() : "a screen never came");
        return 1;
    }

    std::ofstream layout(folder + "/layout.json");
    layout << "{\n  \"buttons\": [";
    for (size_t i = 0; i < buttons.size(); ++i)
        layout << (i ? ", " : "") << rectJson(buttons[i]);
    layout << "],\n  \"instrumentMenu\": " << rectJson(popup) << ",\n  \"instrumentItems\": [";
    // Each item's rows, found by asking the menu which item lies at each row.
    for (size_t i = 0; i < items.size(); ++i) {
        Rect r{popup.left, -1, popup.right, -1};
        for (int32_t y = popup.top; y < popup.bottom; ++y) {
            if (popupItemAt(fonts, items, popup, (popup.left + popup.right) / 2, y) !=
                static_cast<int32_t>(i))
                continue;
            if (r.top < 0) r.top = y;
            r.bottom = y + 1;
        }
        layout << (i ? ", " : "") << rectJson(r);
    }
    layout << "]\n}\n";
    return layout.good() ? 0 : 1;
}

#include "tests/support/program_window.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "platform/chrome/window_chrome.h"
#include "platform/fonts/fonts.h"
#include "platform/screen/screen.h"
#include "platform/screen/screen_png.h"
#include "views/instrument_info.h"
#include "views/views.h"

namespace veldra {

::testing::AssertionResult ProgramWindow::launch(const std::vector<std::string>& arguments,
                                                 const std::vector<std::string>& extra,
                                                 const std::string& title) {
    std::vector<std::string> environment = {"DISPLAY=" + session.display(),
                                            "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=x11",
                                            "VELDRA_SCALE=2", "XDG_CONFIG_HOME=" + config.root()};
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::string why;
    if (!program.start(arguments, environment, why)) return ::testing::AssertionFailure() << why;
    window = findWindow(session, title, stepTimeoutMs);
    if (window == 0) {
        return ::testing::AssertionFailure() << "no window named " << title << "\n"
                                             << program.errorOutput();
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ProgramWindow::waitFor(
    const char* what, const std::function<bool(const Picture&)>& check) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(stepTimeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        if (readScreen(session, window, last) && check(last)) return ::testing::AssertionSuccess();
        if (program.wait(0)) {
            return ::testing::AssertionFailure() << what << ": the program ended\n"
                                                 << program.errorOutput();
        }
        usleep(30000);
    }
    std::string error;
    const std::string png = "/tmp/veldra-e2e-" + std::to_string(getpid()) + "-last.png";
    if (last.size() == 240u * pictureRows) writePngFile(png, last.data(), 240, pictureRows, error);
    return ::testing::AssertionFailure() << what << ": not seen within " << stepTimeoutMs
                                         << " ms; last picture in " << png << "\n"
                                         << program.errorOutput();
}

::testing::AssertionResult ProgramWindow::tap(int x, int y) {
    int wx = 0, wy = 0;
    windowPoint(session, window, x, y, wx, wy);
    return xdo({"mousemove", "--window", std::to_string(window), std::to_string(wx),
                std::to_string(wy), "click", "1"});
}

::testing::AssertionResult ProgramWindow::key(const std::string& name) {
    return xdo({"windowfocus", "--sync", std::to_string(window), "key", name});
}

::testing::AssertionResult ProgramWindow::xdo(const std::vector<std::string>& arguments) {
    std::string why;
    if (xdotool(session, arguments, &why)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why;
}

void ProgramWindow::saveScreenshot(const std::string& name) const {
    const char* folder = std::getenv("VELDRA_SCREENSHOTS");
    if (folder == nullptr || *folder == 0) return;
    Picture doubled(480 * 2 * pictureRows);
    for (size_t i = 0; i < doubled.size(); ++i)
        doubled[i] = last[i / 480 / 2 * 240 + i % 480 / 2];
    std::string error;
    EXPECT_TRUE(writePngFile(std::string(folder) + "/" + name + ".png", doubled.data(), 480,
                             2 * pictureRows, error))
        << error;
}

Picture drawnScreen(const std::function<void(const PixelCanvas&)>& draw) {
    Picture p(240 * 320, 0);
    draw({p.data(), 1, 240, {0, 0, 240, 320}});
    return p;
}

bool sameRows(const Picture& a, const Picture& b, int top, int bottom) {
    return std::equal(a.begin() + top * 240, a.begin() + bottom * 240, b.begin() + top * 240);
}

Picture navigationBarPicture(const std::string& title, bool done) {
    return drawnScreen([&](const PixelCanvas& c) {
        drawNavigationBar(c, builtInFonts().system(), title, done, false);
    });
}

Picture informationPicture(const std::string& text) {
    const GlyphFont& font = builtInFonts().text;
    return drawnScreen([&](const PixelCanvas& c) {
        drawText(c, font, text, {0, clientTop + infoTextTop, 240, clientBottom}, infoTextFlags,
                 colourWhite, colourBlack);
        drawText(c, font, okBandText,
                 {okBandRect.left, clientTop + okBandRect.top, okBandRect.right,
                  clientTop + okBandRect.bottom},
                 infoTextFlags, colourBlack, colourWhite);
    });
}

Picture readoutPicture(const Readout& readout) {
    Picture strip(readoutWidth * readoutHeight, 0);
    drawReadoutStrip(strip.data(), readout);
    return strip;
}

bool showsReadout(const Picture& picture, const Picture& strip) {
    return picture.size() == 240u * pictureRows &&
           std::equal(strip.begin(), strip.end(), picture.begin() + 240 * screenHeight);
}

bool needleCentre(const Picture& picture, double& x, double& y) {
    const uint16_t needle = rgb565(95, 255, 95);
    long sx = 0, sy = 0, n = 0;
    for (int i = clientTop * 240; i < clientBottom * 240; ++i) {
        if (picture[i] == needle) sx += i % 240, sy += i / 240 - clientTop, ++n;
    }
    if (n < 5) return false;
    x = static_cast<double>(sx) / n, y = static_cast<double>(sy) / n;
    return true;
}

}  // namespace veldra

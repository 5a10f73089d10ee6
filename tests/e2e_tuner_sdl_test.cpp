// The real program, end to end: veldra on an Xvfb of its own, listening to a generated
// recording of a plucked A string (VELDRA_INPUT), driven with xdotool, its window read
// back from the X server and compared with what the screen must show: the notice, the
// dial with the needle at the A string, the Instrument menu, the title and information
// text of Violin, the dial again after a tap, and a clean exit on Control+Q.
//
// Expected pictures are drawn with the same fonts, chrome and texts the program uses, so
// the navigation bar, the menu and the information text are compared pixel for pixel.
// On a failure the last picture read is written to a PNG named in the message. With
// VELDRA_SCREENSHOTS set to a folder, the dial, the open menu and the information text
// are saved there as the user sees them at scale 2 (this is how docs/ gets its pictures).
// Skips only when Xvfb cannot start here at all.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "app/resource_script.h"
#include "app/resources.h"
#include "app/shell.h"
#include "display/font.h"
#include "display/trig_tables.h"
#include "platform/font_loader.h"
#include "platform/screen_png.h"
#include "platform/window_chrome.h"
#include "support/xvfb/xvfb_session.h"
#include "views/instrument_info.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

constexpr int stepTimeoutMs = 15000;  // generous: CI machines run tests side by side
constexpr int clientTop = 26;
constexpr int clientBottom = 294;
constexpr uint16_t needleColour = rgb565(95, 255, 95);

using Picture = std::vector<uint16_t>;

// A plucked open A string of the tuner's guitar (109.99 Hz), plucked again every two
// seconds for half a minute: harmonics falling off as 1/k, each dying away.
std::vector<int16_t> pluckedAString() {
    constexpr int rate = 22050;
    const double frequency = 32.7 * std::pow(2.0, 2.75 - 1.0);  // A 2, with C1 at 32.7 Hz
    std::vector<int16_t> samples(static_cast<size_t>(rate) * 30);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i % (2 * rate)) / rate;
        double v = 0;
        for (int k = 1; k <= 6; ++k) {
            v += std::sin(2 * std::numbers::pi * frequency * k * t) / k * std::exp(-t * (0.8 + 0.4 * k));
        }
        samples[i] = static_cast<int16_t>(9000 * v);
    }
    return samples;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!session.start(why)) GTEST_SKIP() << "no X server for the end-to-end test: " << why;
        ASSERT_TRUE(loadSystemFonts(fonts, why)) << why;
        folder = "/tmp/veldra-e2e-" + std::to_string(getpid());
        mkdir(folder.c_str(), 0700);
        wav = folder + "/a-string.wav";
        ASSERT_TRUE(writeWav(wav, pluckedAString(), 22050));
        // Under AddressSanitizer the program's leak check must not fail it for what
        // libdbus (which SDL uses) keeps until the process ends.
        suppressions = folder + "/leaks.supp";
        std::ofstream(suppressions) << "leak:libdbus-1.so\n";
    }
    void TearDown() override {
        program.kill();
        unlink(wav.c_str());
        unlink(suppressions.c_str());
        rmdir(folder.c_str());
    }

    // Polls the window until check holds; on time-out the last picture goes to a PNG.
    ::testing::AssertionResult waitFor(const char* what, const std::function<bool(const Picture&)>& check) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(stepTimeoutMs);
        while (std::chrono::steady_clock::now() < until) {
            if (readScreen(session, window, last) && check(last)) return ::testing::AssertionSuccess();
            if (program.wait(0).has_value()) return ::testing::AssertionFailure() << what << ": veldra ended early\n" << program.errorOutput();
            usleep(30000);
        }
        std::string error;
        const std::string png = folder + "-last.png";
        if (last.size() == 240u * 320u) writePngFile(png, last.data(), 240, 320, error);
        return ::testing::AssertionFailure() << what << ": not seen within " << stepTimeoutMs << " ms; last picture in "
                                             << png << "\n" << program.errorOutput();
    }

    // Saves the last picture, doubled, as folder/name.png when VELDRA_SCREENSHOTS names a folder.
    void screenshot(const std::string& name) const {
        const char* folder = std::getenv("VELDRA_SCREENSHOTS");
        if (folder == nullptr || *folder == 0) return;
        Picture doubled(480 * 640);
        for (int y = 0; y < 640; ++y) {
            for (int x = 0; x < 480; ++x) doubled[static_cast<size_t>(y * 480 + x)] = last[static_cast<size_t>(y / 2 * 240 + x / 2)];
        }
        std::string error;
        EXPECT_TRUE(writePngFile(std::string(folder) + "/" + name + ".png", doubled.data(), 480, 640, error)) << error;
    }

    // Moves the pointer to screen pixel (x, y) of the window and clicks.
    ::testing::AssertionResult tap(int x, int y) {
        int wx = 0, wy = 0;
        windowPoint(session, window, x, y, wx, wy);
        std::string why;
        if (xdotool(session, {"mousemove", "--window", std::to_string(window), std::to_string(wx), std::to_string(wy),
                              "click", "1"},
                    &why)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << why;
    }

    // Presses a key (xdotool's name for it) with the window focused.
    ::testing::AssertionResult key(const std::string& name) {
        if (!focusWindow(session, window)) return ::testing::AssertionFailure() << "the window never got the focus";
        std::string why;
        if (xdotool(session, {"key", name}, &why)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << why;
    }

    // A whole screen drawn by draw onto black.
    static Picture drawn(const std::function<void(const PixelCanvas&)>& draw) {
        Picture p(240 * 320, 0);
        draw({p.data(), 1, 240, {0, 0, 240, 320}});
        return p;
    }

    static bool sameRows(const Picture& a, const Picture& b, int top, int bottom) {
        return std::equal(a.begin() + top * 240, a.begin() + bottom * 240, b.begin() + top * 240);
    }

    static bool sameIn(const Picture& a, const Picture& b, const Rect& r) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (a[static_cast<size_t>(y * 240 + x)] != b[static_cast<size_t>(y * 240 + x)]) return false;
            }
        }
        return true;
    }

    Picture navigationBar(const std::string& title, bool done) const {
        return drawn([&](const PixelCanvas& c) { drawNavigationBar(c, fonts.view(), title, done, false); });
    }

    // The share of the client area that shows the background picture unchanged.
    static double backgroundShare(const Picture& p) {
        const Bitmap background = loadBitmapResource(backgroundResource);
        int same = 0;
        for (int i = 0; i < background.width * background.height; ++i) {
            same += p[static_cast<size_t>(clientTop * 240 + i)] == background.pixels[i];
        }
        return static_cast<double>(same) / (background.width * background.height);
    }

    XvfbSession session;
    ChildProcess program;
    LoadedFonts fonts;
    std::string folder;
    std::string wav;
    std::string suppressions;
    unsigned long window = 0;
    Picture last;
};

TEST_F(EndToEndTest, TunesAStringSwitchesToViolinAndQuits) {
    std::string why;
    // On Xvfb only, whatever desktop the test is started from (and never meeting a copy
    // of veldra running there).
    ASSERT_TRUE(program.start({VELDRA_PROGRAM}, {"DISPLAY=" + session.display(), "WAYLAND_DISPLAY=",
                                                 "SDL_VIDEODRIVER=x11", "VELDRA_INPUT=" + wav, "VELDRA_SCALE=2",
                                                 "SDL_AUDIODRIVER=dummy", "LSAN_OPTIONS=suppressions=" + suppressions},
                              why))
        << why;
    window = findWindow(session, "Veldra", stepTimeoutMs);
    ASSERT_NE(window, 0u) << "no window named Veldra\n" << program.errorOutput();

    // The start-up notice, its caption and Done button in the navigation bar.
    const Picture notice = navigationBar("Detect Setting", true);
    ASSERT_TRUE(waitFor("the start-up notice", [&](const Picture& p) {
        return sameRows(p, notice, 0, 26) && p[100 * 240 + 5] == rgb565FromColourRef(chromeWindow);
    }));

    // OK: the dial, titled for the guitar, with the needle on the A string's ring.
    ASSERT_TRUE(key("Return"));
    const Picture guitarTitle = navigationBar("Veldra -- Guitar", false);
    buildFont();
    buildTrigTables();
    setDialGeometry(120, 128, 40, 106);
    setupInstrument(InstrumentKind::Guitar);
    int32_t ringX = 0, ringY = 0;
    dialPoint(angleIndex(stringTable[5]), 0, ringX, ringY);  // Guitar's A 2
    ringY += clientTop;
    ASSERT_TRUE(waitFor("the needle at the A string", [&](const Picture& p) {
        if (!sameRows(p, guitarTitle, 0, 26) || backgroundShare(p) < 0.75) return false;
        long sx = 0, sy = 0, n = 0;
        for (int y = clientTop; y < clientBottom; ++y) {
            for (int x = 0; x < 240; ++x) {
                if (p[static_cast<size_t>(y * 240 + x)] != needleColour) continue;
                sx += x;
                sy += y;
                ++n;
            }
        }
        return n >= 5 && std::hypot(static_cast<double>(sx) / n - ringX, static_cast<double>(sy) / n - ringY) < 14;
    }));
    screenshot("veldra-dial");

    // Instrument opens its menu upward from its button, the button pressed.
    const MenuBarDescription& menu = *loadMenuBar(programResources(), menuResource);
    Rect buttons[4];
    layOutMenuBar(fonts.view(), menu.buttons, buttons);
    const std::span<const MenuItem> modes = menu.buttons[1].items;
    const Rect popup = popupMenuRect(fonts.view(), modes, buttons[1]);
    const Bitmap image = loadBitmapResource(menuBarImageResource);
    const Picture opened = drawn([&](const PixelCanvas& c) {
        drawMenuBar(c, fonts.view(), menu.buttons, std::span<const Bitmap>(&image, 1), 1);
        drawPopupMenu(c, fonts.view(), modes, popup, -1);
    });
    ASSERT_TRUE(tap((buttons[1].left + buttons[1].right) / 2, 307));
    ASSERT_TRUE(waitFor("the Instrument menu", [&](const Picture& p) {
        return sameIn(p, opened, popup) && sameRows(p, opened, 294, 320);
    }));
    screenshot("veldra-menu");

    // Violin: its title, and its information text on black.
    const Picture violinTitle = navigationBar("Veldra -- Violin", false);
    initOctaveRange();
    const Picture information = drawn([&](const PixelCanvas& c) {
        drawText(c, *fonts.view().text, composeInstrumentInfo(InstrumentKind::Violin),
                 {0, clientTop + infoTextTop, 240, clientBottom}, infoTextFlags, colourWhite, colourBlack);
        drawText(c, *fonts.view().text, okBandText,
                 {okBandRect.left, clientTop + okBandRect.top, okBandRect.right, clientTop + okBandRect.bottom},
                 infoTextFlags, colourBlack, colourWhite);
    });
    ASSERT_EQ(modes[1].text, "Violin");
    const int itemHeight = (popup.bottom - popup.top - 4) / static_cast<int>(modes.size());
    ASSERT_TRUE(tap(popup.left + 20, popup.top + 2 + itemHeight + itemHeight / 2));
    ASSERT_TRUE(waitFor("Veldra -- Violin and its strings", [&](const Picture& p) {
        return sameRows(p, violinTitle, 0, 26) && sameRows(p, information, clientTop, clientBottom);
    }));
    screenshot("veldra-information");

    // A tap resumes the tuner: the dial covers the text again.
    ASSERT_TRUE(tap(120, 150));
    ASSERT_TRUE(waitFor("the dial after the tap", [&](const Picture& p) {
        return backgroundShare(p) > 0.75 && !sameRows(p, information, clientTop, clientBottom);
    }));

    // Control+Q: the program ends, with 0.
    ASSERT_TRUE(key("ctrl+q"));
    const std::optional<int> status = program.wait(stepTimeoutMs);
    ASSERT_TRUE(status.has_value()) << "veldra did not end after Control+Q";
    EXPECT_EQ(*status, 0) << program.errorOutput();
}

}  // namespace
}  // namespace veldra

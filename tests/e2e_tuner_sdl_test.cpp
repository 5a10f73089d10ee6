// The real program, end to end: veldra on an Xvfb of its own, listening to a generated
// recording (VELDRA_INPUT), driven with xdotool, its window read back and compared pixel
// for pixel with pictures drawn with the program's own fonts, chrome and texts. With
// VELDRA_SCREENSHOTS set to a folder, the dial, the open menu and the information text
// are saved there at scale 2 (this is how docs/ gets its pictures).
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis.h"
#include "app/resource_script.h"
#include "audio/audio.h"
#include "display/display.h"
#include "platform/chrome/window_chrome.h"
#include "platform/fonts/fonts.h"
#include "platform/screen/screen_png.h"
#include "platform/sound_files/sound_files.h"
#include "tests/support/program_window.h"
#include "tests/support/scratch_files.h"
#include "tests/support/tuner_setup.h"
#include "tuner/tuner.h"
#include "views/instrument_info.h"
#include "views/pictures.h"
#include "views/tuning_dial.h"

namespace veldra {
namespace {

bool sameIn(const Picture& a, const Picture& b, const Rect& r) {
    for (int y = r.top; y < r.bottom; ++y)
        if (!std::equal(&a[y * 240 + r.left], &a[y * 240 + r.right], &b[y * 240 + r.left]))
            return false;
    return true;
}
// The share of the client area that shows the background picture unchanged.
double backgroundShare(const Picture& p) {
    const Bitmap background = loadBitmapResource(backgroundResource);
    int same = 0;
    for (int i = 0; i < background.width * background.height; ++i)
        same += p[clientTop * 240 + i] == background.pixels[i];
    return static_cast<double>(same) / (background.width * background.height);
}

// The frequency the tuner shows after two seconds of the file, as veldra-file reads it.
float readingOf(const std::string& path) {
    tuneFile(path, Bitmap{0, 0, nullptr}, [](int64_t blocks, const HeadlessScreen&) {
        return blocks < 2 * sampleRate / captureBlockSamples;
    });
    return pipelineState().shownFrequency;
}

class EndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!veldra.session.start(why))
            GTEST_SKIP() << "no X server for the end-to-end test: " << why;
        // A steady string a little above the guitar's A (109.99 Hz): a period of exactly 200
        // samples, so that every refresh reads the same frequency, 110.25 Hz.
        std::vector<float> sound(22050 * 30);
        for (size_t i = 0; i < sound.size(); ++i) {
            const double phase = 2 * M_PI * static_cast<double>(i % 200) / 200;
            sound[i] = static_cast<float>(0.3 * (std::sin(phase) + 0.5 * std::sin(2 * phase)));
        }
        writeSoundFile(folder.path("a-string.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 1,
                       sound);
    }

    ProgramWindow veldra;
    const BuiltInFonts& fonts = builtInFonts();
    ScratchFolder folder;
};

TEST_F(EndToEndTest, TunesAStringSwitchesToViolinAndQuits) {
    ASSERT_TRUE(veldra.launch({VELDRA_PROGRAM}, {"VELDRA_INPUT=" + folder.path("a-string.wav"),
                                                 "SDL_AUDIODRIVER=dummy"}));

    // The start-up notice, its caption and Done button in the navigation bar, on white.
    const Picture notice = navigationBarPicture("Detect Setting", true);
    ASSERT_TRUE(veldra.waitFor("the start-up notice", [&](const Picture& p) {
        return sameRows(p, notice, 0, 26) && p[100 * 240 + 5] == rgb565FromColourRef(chromeWindow);
    }));

    // OK: the dial, titled for the guitar, with the green needle on the A string's ring,
    // and below it the readout of what veldra-file reads from the same sound.
    ASSERT_TRUE(veldra.key("Return"));
    const Picture guitarTitle = navigationBarPicture("Veldra -- Guitar", false);
    const Picture reading =
        readoutPicture({ReadoutKind::Reading, readingOf(folder.path("a-string.wav"))});
    startTunerModules();
    int32_t ringX = 0, ringY = 0;
    dialPoint(angleIndex(dialState().stringPositions[1]), 0, ringX, ringY);
    ASSERT_TRUE(veldra.waitFor("the needle at the A string and its readout", [&](const Picture& p) {
        double x = 0, y = 0;
        return sameRows(p, guitarTitle, 0, 26) && backgroundShare(p) >= 0.75 &&
               needleCentre(p, x, y) && std::hypot(x - ringX, y - ringY) < 14 &&
               showsReadout(p, reading);
    }));
    veldra.saveScreenshot("veldra-dial");

    // Instrument opens its menu upward from its button, the button pressed.
    const MenuBarDescription& menu = *loadMenuBar(programResources(), menuResource);
    Rect buttons[4];
    layOutMenuBar(fonts.system(), menu.buttons, buttons);
    const std::span<const MenuItem> modes = menu.buttons[1].items;
    const Rect popup = popupMenuRect(fonts.system(), modes, buttons[1]);
    const Bitmap image = loadBitmapResource(menuBarImageResource);
    const Picture opened = drawnScreen([&](const PixelCanvas& c) {
        drawMenuBar(c, fonts.system(), menu.buttons, std::span<const Bitmap>(&image, 1), 1);
        drawPopupMenu(c, fonts.system(), modes, popup, -1);
    });
    ASSERT_TRUE(veldra.tap((buttons[1].left + buttons[1].right) / 2, 307));
    ASSERT_TRUE(veldra.waitFor("the Instrument menu", [&](const Picture& p) {
        return sameIn(p, opened, popup) && sameRows(p, opened, 294, 320);
    }));
    veldra.saveScreenshot("veldra-menu");

    // Violin, the second item: its title, and its information text on black.
    const Picture violinTitle = navigationBarPicture("Veldra -- Violin", false);
    initOctaveRange();
    const Picture information = informationPicture(composeInstrumentInfo(InstrumentKind::Violin));
    ASSERT_EQ(modes[1].text, "Violin");
    const int itemHeight = (popup.bottom - popup.top - 4) / static_cast<int>(modes.size());
    ASSERT_TRUE(veldra.tap(popup.left + 20, popup.top + 2 + itemHeight + itemHeight / 2));
    const Picture paused = readoutPicture({ReadoutKind::Paused});
    ASSERT_TRUE(veldra.waitFor("Veldra -- Violin, its strings, and paused", [&](const Picture& p) {
        return sameRows(p, violinTitle, 0, 26) &&
               sameRows(p, information, clientTop, clientBottom) && showsReadout(p, paused);
    }));
    veldra.saveScreenshot("veldra-information");

    // Space resumes the tuner as a tap does: the dial covers the text again. Guitar chosen
    // by keys, Enter resumes it too.
    const auto resumed = [&](const Picture& p) {
        return backgroundShare(p) > 0.75 && !showsReadout(p, paused);
    };
    ASSERT_TRUE(veldra.key("space"));
    ASSERT_TRUE(veldra.waitFor("the dial after Space", resumed));
    for (const char* key : {"F10", "Right", "Return"})
        ASSERT_TRUE(veldra.key(key));
    ASSERT_TRUE(veldra.waitFor("paused for Guitar", [&](const Picture& p) {
        return sameRows(p, guitarTitle, 0, 26) && showsReadout(p, paused);
    }));
    ASSERT_TRUE(veldra.key("Return"));
    ASSERT_TRUE(veldra.waitFor("the dial after Enter", resumed));

    // Control+Q: the program ends, with 0.
    ASSERT_TRUE(veldra.key("ctrl+q"));
    const std::optional<int> status = veldra.program.wait(stepTimeoutMs);
    ASSERT_TRUE(status.has_value()) << "veldra did not end after Control+Q";
    EXPECT_EQ(*status, 0) << veldra.program.errorOutput();
}

// SIGHUP ends the program as Control+Q does. (SIGTERM: e2e_pulse's hung server; the window
// closed from outside: the scale test below.)
TEST_F(EndToEndTest, HangUpEndsTheProgramInOrder) {
    ASSERT_TRUE(veldra.launch({VELDRA_PROGRAM}, {"VELDRA_INPUT=demo", "SDL_AUDIODRIVER=dummy"}));
    ::kill(veldra.program.pid(), SIGHUP);
    EXPECT_EQ(veldra.program.wait(stepTimeoutMs), std::optional<int>(0))
        << veldra.program.errorOutput();
}

// A recording that cannot be read further while it plays (a disk's read error 2 s into the
// sound, from the fault library) is a lost input, said once: the title and the readout say
// so, and the file is not read again.
TEST_F(EndToEndTest, AReadErrorWhilePlayingIsALostInputSaidOnce) {
#ifndef VELDRA_FAULT_SHIM
    GTEST_SKIP() << "no fault library in this build";
#else
    const std::string wav = folder.path("a-string.wav");
    ASSERT_TRUE(veldra.launch(
        {VELDRA_PROGRAM, "--input", wav},
        {"SDL_AUDIODRIVER=dummy", "LD_PRELOAD=" VELDRA_FAULT_SHIM, "VELDRA_FAULT_FILE=" + wav,
         "VELDRA_FAULT_AFTER=" + std::to_string(44 + 2 * 22050 * 2)}));
    ASSERT_TRUE(veldra.key("Return"));
    ASSERT_NE(findWindow(veldra.session, "Veldra: input lost", stepTimeoutMs), 0u)
        << veldra.program.errorOutput();
    const Picture lost = readoutPicture({ReadoutKind::InputEnded});
    ASSERT_TRUE(veldra.waitFor("the readout of an input lost for good",
                               [&](const Picture& p) { return showsReadout(p, lost); }));
    std::this_thread::sleep_for(std::chrono::seconds(3));  // a retry would have come by now
    const std::string said = veldra.program.errorOutput();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(said.rfind("veldra: lost the input " + wav + ": read error at ", 0), 0u) << said;
    EXPECT_NE(findWindow(veldra.session, "Veldra: input lost", 2000), 0u);  // still
    ASSERT_TRUE(veldra.key("ctrl+q"));
    EXPECT_EQ(veldra.program.wait(stepTimeoutMs), std::optional<int>(0));
#endif
}

// Without a display the program says so in one line and ends with 1 at once, instead of
// opening a window nobody can see.
TEST(EndToEndStartTest, WithoutADisplayTheProgramSaysSoAndEnds) {
    ChildProcess program;
    std::string why;
    ASSERT_TRUE(program.start({VELDRA_PROGRAM},
                              {"DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=",
                               "SDL_VIDEODRIVER=", "VELDRA_INPUT=demo", "SDL_AUDIODRIVER=dummy"},
                              why))
        << why;
    EXPECT_EQ(program.wait(5000), std::optional<int>(1));
    const std::string said = program.errorOutput();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(said.rfind("veldra: cannot open a window: ", 0), 0u) << said;
}

// On a 4K screen the window starts at the largest scale that fits 90 % of its height,
// strip included (5: 1200 x 1920); a scale it cannot use is said, and the fitting one used.
// A scale is one digit: a "2" after a tab (or a space, or a sign) is refused, and said
// escaped.
TEST(EndToEndStartTest, TheWindowFitsTheScreenAndABadScaleIsSaid) {
    ProgramWindow veldra;
    std::string why;
    if (!veldra.session.start(why, "3840x2160")) GTEST_SKIP() << "no X server: " << why;
    ASSERT_TRUE(veldra.launch({VELDRA_PROGRAM},
                              {"VELDRA_INPUT=demo", "SDL_AUDIODRIVER=dummy", "VELDRA_SCALE=\t2"}));
    std::string geometry;
    ASSERT_TRUE(xdotool(veldra.session, {"getwindowgeometry", std::to_string(veldra.window)}, &why,
                        stepTimeoutMs, &geometry))
        << why;
    EXPECT_NE(geometry.find("Geometry: 1200x" + std::to_string(5 * pictureRows)), std::string::npos)
        << geometry;
    ASSERT_TRUE(veldra.xdo({"windowclose", std::to_string(veldra.window)}));
    EXPECT_EQ(veldra.program.wait(stepTimeoutMs), 0);
    EXPECT_EQ(veldra.program.errorOutput(),
              "veldra: VELDRA_SCALE=\\t2 is not a whole number from 1 to 8; using 5\n");
}

// What the program says about its options shows their control characters escaped.
TEST(EndToEndStartTest, AnOptionIsSaidEscaped) {
    ChildProcess program;
    std::string why;
    ASSERT_TRUE(program.start({VELDRA_PROGRAM, "--\x1b[2J"}, {}, why)) << why;
    EXPECT_EQ(program.wait(5000), std::optional<int>(2));
    EXPECT_EQ(program.errorOutput(),
              "veldra: unknown option --\\x1b[2J (veldra --help shows the options)\n");
}

}  // namespace
}  // namespace veldra

// veldra: the tuner a musician starts. No command-line options; VELDRA_INPUT chooses a
// sound file or the built-in demo instead of the microphone, VELDRA_SCALE the window's
// starting size.
//
// The program's parts meet here: the sound input is installed, the fonts are rendered,
// the SDL window back end and the window system start, and the shell runs until its
// quit message. What cannot even start (no fonts, no display) is said on standard error
// with exit status 1; everything after that the shell reports in its own window.
#include <cstdio>
#include <memory>
#include <string>

#include "app/resource_script.h"
#include "app/shell.h"
#include "platform/backends/backends.h"
#include "platform/windows/windows.h"

int main() {
    using namespace veldra;
    std::string error;
    LoadedFonts fonts;
    if (!loadSystemFonts(fonts, error)) {
        std::fprintf(stderr, "veldra: %s\n", error.c_str());
        return 1;
    }
    const std::unique_ptr<WindowBackEnd> backEnd = makeSdlBackEnd(scaleFromEnvironment(), error);
    if (backEnd == nullptr) {
        std::fprintf(stderr, "veldra: %s\n", error.c_str());
        return 1;
    }
    const std::unique_ptr<WaveInSource> input = soundInputFromEnvironment();
    installWaveInSource(input.get());
    const auto screen = std::make_unique<SystemScreen>();
    startWindowSystem(*backEnd, *screen, fonts.view());
    const int32_t exitCode = programEntry(&programResources(), showNormal);
    stopWindowSystem();
    installWaveInSource(nullptr);
    return exitCode;
}

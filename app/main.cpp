// veldra: the tuner a musician starts (app/command_line.h: its options).
//
// The program's parts meet here: the sound input is chosen and installed, the SDL window
// back end and the window system start (with the built-in fonts), and the shell runs until
// its quit message. What cannot even start (no display) is said on standard error with
// exit status 1; from then on the shell reports in its own window and on standard error,
// and its exit code is the program's.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/resource_script.h"
#include "app/shell.h"
#include "platform/backends/backends.h"
#include "platform/fonts/fonts.h"
#include "platform/windows/windows.h"
#include "tuner/tuner.h"

namespace {

// --list-inputs: the devices SDL lists, the system's default marked.
int listInputs() {
    veldra::CaptureDevices devices;
    std::string error;
    if (!veldra::listCaptureDevices(devices, error)) {
        std::fprintf(stderr, "veldra: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& name : devices.names) {
        std::printf("%s %s\n", name == devices.defaultName ? "*" : " ", name.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace veldra;
    ProgramOptions options;
    std::string error;
    if (!parseProgramOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "veldra: %s (veldra --help shows the options)\n", error.c_str());
        return 2;
    }
    switch (options.action) {
        case ProgramAction::Help:
            std::fputs(programUsage().c_str(), stdout);
            return 0;
        case ProgramAction::Version:
            std::printf("veldra %s\n", VELDRA_VERSION);
            return 0;
        case ProgramAction::ListInputs:
            return listInputs();
        case ProgramAction::ListTunings:
            std::fputs(tuningList().c_str(), stdout);
            return 0;
        case ProgramAction::Run:
            break;
    }
    // The remembered choices, with the command line's laid over them for this run, hold
    // from the first paint on.
    if (!rememberChoices(options.choices, error)) {
        std::fprintf(stderr, "veldra: %s (veldra --help shows the options)\n", error.c_str());
        return 2;
    }
    const std::unique_ptr<WindowBackEnd> backEnd = makeSdlBackEnd(readoutHeight, error);
    if (backEnd == nullptr) {
        std::fprintf(stderr, "veldra: %s\n", error.c_str());
        return 1;
    }
    const char* chosen =
        options.inputGiven ? options.input.c_str() : std::getenv(soundInputVariable);
    const std::unique_ptr<WaveInSource> input = soundInputFor(chooseSoundInput(chosen));
    setInputStateListener(inputStateChanged);
    const int32_t exitCode = runProgram(*backEnd, input.get(), builtInFonts().system());
    setInputStateListener(nullptr);
    return exitCode;
}

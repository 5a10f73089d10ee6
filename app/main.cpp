// veldra: the tuner a musician starts (app/command_line.h: its options).
//
// The program's parts meet here: the sound input is chosen and installed, the SDL window
// back end and the window system start (with the built-in fonts), and the shell runs until
// its quit message. What cannot even start (no display) is said on standard error with
// exit status 1; from then on the shell reports in its own window and on standard error,
// and its exit code is the program's. Whatever it prints that came from outside (names,
// options, the environment) is escaped as veldra-file escapes it (printableText).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/resource_script.h"
#include "app/shell.h"
#include "platform/backends/backends.h"
#include "platform/fonts/fonts.h"
#include "platform/sound_files/sound_files.h"
#include "platform/windows/windows.h"
#include "tuner/tuner.h"

namespace {

// --list-inputs: the devices SDL lists, the system's default marked.
int listInputs() {
    veldra::CaptureDevices devices;
    std::string error;
    if (!veldra::listCaptureDevices(devices, error)) {
        std::fprintf(stderr, "veldra: %s\n", veldra::printableText(error).c_str());
        return 1;
    }
    for (const std::string& name : devices.names) {
        std::printf("%s %s\n", name == devices.defaultName ? "*" : " ",
                    veldra::printableText(name).c_str());
    }
    return 0;
}

// The program's end with code. A sound thread left stuck in a sound server that does not
// answer (soundThreadAbandoned) must not have the process's destructors run under it: by
// now the orderly parts are done, so the process leaves at once.
int leave(int code) {
    if (veldra::soundThreadAbandoned()) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace veldra;
    ProgramOptions options;
    std::string error;
    if (!parseProgramOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "veldra: %s (veldra --help shows the options)\n",
                     printableText(error).c_str());
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
            return leave(listInputs());
        case ProgramAction::ListTunings:
            // A list that did not reach its reader is a failure, as in veldra-file.
            if (std::fputs(tuningList().c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
                std::fprintf(stderr, "veldra: standard output: %s\n", std::strerror(errno));
                return 1;
            }
            return 0;
        case ProgramAction::Run:
            break;
    }
    // The remembered choices, with the command line's laid over them for this run, hold
    // from the first paint on.
    if (!rememberChoices(options.choices, error)) {
        std::fprintf(stderr, "veldra: %s (veldra --help shows the options)\n",
                     printableText(error).c_str());
        return 2;
    }
    const std::unique_ptr<WindowBackEnd> backEnd = makeSdlBackEnd(readoutHeight, error);
    if (backEnd == nullptr) {
        std::fprintf(stderr, "veldra: %s\n", printableText(error).c_str());
        return 1;
    }
    setInputConditioning(!options.raw);
    const char* chosen =
        options.inputGiven ? options.input.c_str() : std::getenv(soundInputVariable);
    std::unique_ptr<WaveInSource> input = soundInputFor(chooseSoundInput(chosen));
    setInputStateListener(inputStateChanged);
    const int32_t exitCode = runProgram(*backEnd, input.get(), builtInFonts().system());
    setInputStateListener(nullptr);
    input.reset();
    return leave(exitCode);
}

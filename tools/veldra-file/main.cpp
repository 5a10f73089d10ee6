// veldra-file: the Veldra tuner run over a sound file (or the built-in demo), headless.
// See file_options.h for the command line and file_tuner.h for what a run does.
#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/sound_files/sound_files.h"
#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_signals.h"
#include "tools/veldra-file/file_tuner.h"

int main(int argc, char** argv) {
    // A standard descriptor the program was started without is held by /dev/null, read
    // only: no file opened later can take its number, and writes to it fail as they should.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && open("/dev/null", O_RDONLY) != fd) return 1;
    }
    std::ios::sync_with_stdio(false);
    veldra::catchEndingSignals();
    // Standard error carries one line per failure, whatever the decoders have to say.
    veldra::holdDecoderMessages(true);
    veldra::FileOptions options;
    std::string error;
    if (!veldra::parseFileOptions(argc, argv, options, error)) {
        std::cerr << "veldra-file: " << veldra::printableText(error)
                  << " (veldra-file --help shows the options)\n";
        return 2;
    }
    if (options.action != veldra::FileAction::Run) {
        switch (options.action) {
            case veldra::FileAction::Help:
                std::cout << veldra::fileUsage();
                break;
            case veldra::FileAction::ListTunings:
                std::cout << veldra::tuningList();
                break;
            default:
                std::cout << "veldra-file " VELDRA_VERSION "\n";
                break;
        }
        std::cout << std::flush;
        if (std::cout) return 0;
        std::cerr << "veldra-file: standard output: " << std::strerror(errno) << '\n';
        return 1;
    }
    return veldra::runFileTuner(options, std::cout, std::cerr);
}

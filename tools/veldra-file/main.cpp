// veldra-file: the Veldra tuner run over a sound file (or the built-in demo), headless.
// See file_options.h for the command line and file_tuner.h for what a run does.
#include <iostream>
#include <string>

#include "app/app.h"
#include "platform/backends/backends.h"
#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_tuner.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    veldra::FileOptions options;
    std::string error;
    if (!veldra::parseFileOptions(argc, argv, options, error)) {
        std::cerr << "veldra-file: " << error << " (veldra-file --help shows the options)\n";
        return 2;
    }
    switch (options.action) {
        case veldra::FileAction::Help:
            std::cout << veldra::fileUsage();
            return 0;
        case veldra::FileAction::Version:
            std::cout << "veldra-file " VELDRA_VERSION "\n";
            return 0;
        case veldra::FileAction::Run:
            break;
    }
    // The bars of the pictures carry text in the program's fonts, when they can be had.
    veldra::LoadedFonts fonts;
    veldra::SystemFonts systemFonts{};
    if (!options.pngPath.empty() || !options.framesDir.empty()) {
        if (veldra::loadSystemFonts(fonts, error)) {
            systemFonts = fonts.view();
            veldra::setPictureFonts(&systemFonts);
        } else {
            std::cerr << "veldra-file: " << error << "; the pictures' bars go without text\n";
        }
    }
    return veldra::runFileTuner(options, std::cout, std::cerr);
}

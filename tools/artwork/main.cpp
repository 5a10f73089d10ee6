// veldra-artwork OUTPUT_FOLDER: draws the program's pictures and writes them into the
// folder (normally app/resources, where the build embeds them):
//   background.bmp   bitmap 124, the dial's printed spiral, 240 x 268, 16 colours
//   menubar.bmp      bitmap 120, the menu bar's button image, 16 x 16, 16 colours
//   icon.bmp         icon 105 as the program loads it, 32 x 32, 16 colours
//   icon.png         the same icon at 48 x 48 for the desktop entry
//   icon-192.png, icon-512.png   the same icon for the browser's page (its manifest: a
//                    phone's home screen and splash)
// The output depends on nothing but this program, so a rerun gives the same bytes.
#include <cstdio>
#include <string>

#include "tools/artwork/image_files.h"
#include "tools/artwork/pictures.h"

int main(int argc, char** argv) {
    using namespace veldra::artwork;
    if (argc != 2) {
        std::fprintf(stderr, "usage: veldra-artwork OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const Palette palette = orangePalette();
    std::string error;
    const bool ok =
        writeBmp16(folder + "/background.bmp", drawBackground(), palette, error) &&
        writeBmp16(folder + "/menubar.bmp", drawMenuBarImage(), palette, error) &&
        writeBmp16(folder + "/icon.bmp", drawIcon(32), palette, error) &&
        writePng(folder + "/icon.png", drawIcon(48), palette, insideIconFace, error) &&
        writePng(folder + "/icon-192.png", drawIcon(192), palette, insideIconFace, error) &&
        writePng(folder + "/icon-512.png", drawIcon(512), palette, insideIconFace, error);
    if (!ok) {
        std::fprintf(stderr, "veldra-artwork: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

// veldra-artwork PICTURE_FOLDER ICON_FOLDER: draws the program's pictures and writes the
// ones the program carries into the first folder (normally views/pictures, where the build
// embeds them), the icon files the desktop and the browser install into the second
// (normally app/resources):
//   background.bmp   bitmap 124, the dial's printed spiral, 240 x 268, 16 colours
//   menubar.bmp      bitmap 120, the menu bar's button image, 16 x 16, 16 colours
//   icon.bmp         icon 105 as the program loads it, 32 x 32, 16 colours
//   icon-N.png       the same icon at N x N, each drawn at its own size: for the desktop
//                    N = 16, 22, 24, 32, 48, 64, 128, 256 (the hicolor theme's sizes), for
//                    the browser's page 192 and 512 (its manifest: a phone's home screen)
// The output depends on nothing but this program, so a rerun gives the same bytes.
#include <cstdio>
#include <string>

#include "tools/artwork/image_files.h"
#include "tools/artwork/pictures.h"

int main(int argc, char** argv) {
    using namespace veldra::artwork;
    if (argc != 3) {
        std::fprintf(stderr, "usage: veldra-artwork PICTURE_FOLDER ICON_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string iconFolder = argv[2];
    const Palette palette = orangePalette();
    std::string error;
    bool ok = writeBmp16(folder + "/background.bmp", drawBackground(), palette, error) &&
              writeBmp16(folder + "/menubar.bmp", drawMenuBarImage(), palette, error) &&
              writeBmp16(folder + "/icon.bmp", drawIcon(32), palette, error);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 192, 256, 512}) {
        ok = ok && writePng(iconFolder + "/icon-" + std::to_string(size) + ".png", drawIcon(size),
                            palette, insideIconFace, error);
    }
    if (!ok) {
        std::fprintf(stderr, "veldra-artwork: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

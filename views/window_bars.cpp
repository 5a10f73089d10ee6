#include "views/window_bars.h"

#include "platform/fonts/fonts.h"
#include "views/pictures.h"

namespace veldra {

void drawWindowBars(Screen& screen, std::string_view title) {
    const DisplayProperties properties = screen.displayProperties();
    uint16_t* base = screen.beginDraw();
    if (base == nullptr) return;
    const PixelCanvas canvas{base,
                             properties.xPitchBytes / 2,
                             properties.yPitchBytes / 2,
                             {0, 0, screenWidth, screenHeight}};
    const SystemFonts fonts = builtInFonts().system();
    drawNavigationBar(canvas, fonts, title, false, false);
    const Bitmap image = loadBitmapResource(menuBarImageResource);
    drawMenuBar(canvas, fonts, menuBarFaces, std::span<const Bitmap>(&image, 1), -1);
    screen.endDraw();
}

}  // namespace veldra

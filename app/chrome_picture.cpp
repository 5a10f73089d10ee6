#include "app/chrome_picture.h"

#include "app/resource_script.h"
#include "app/resources.h"
#include "platform/fonts/fonts.h"
#include "platform/windows/windows.h"

namespace veldra {

void drawShellChrome(Screen& screen, std::string_view title) {
    const DisplayProperties properties = screen.displayProperties();
    uint16_t* base = screen.beginDraw();
    if (base == nullptr) return;
    const PixelCanvas canvas{base,
                             properties.xPitchBytes / 2,
                             properties.yPitchBytes / 2,
                             {0, 0, screenWidth, screenHeight}};
    const SystemFonts fonts = builtInFonts().system();
    drawNavigationBar(canvas, fonts, title, false, false);
    if (const MenuBarDescription* menu = loadMenuBar(programResources(), menuResource)) {
        const Bitmap image = loadBitmapResource(menuBarImageResource);
        drawMenuBar(canvas, fonts, menu->buttons, std::span<const Bitmap>(&image, 1), -1);
    }
    screen.endDraw();
}

}  // namespace veldra

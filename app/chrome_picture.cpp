#include "app/chrome_picture.h"

#include "app/resource_script.h"
#include "app/resources.h"
#include "platform/windows/windows.h"

namespace veldra {
namespace {

const SystemFonts* pictureFonts = nullptr;  // setPictureFonts

// A font without glyphs: text in it takes no room and draws nothing.
SystemFonts noFonts() {
    static const GlyphFont empty;
    return {&empty, &empty, &empty, &empty};
}

}  // namespace

void setPictureFonts(const SystemFonts* fonts) {
    pictureFonts = fonts;
}

void drawShellChrome(Screen& screen, std::string_view title) {
    const DisplayProperties properties = screen.displayProperties();
    uint16_t* base = screen.beginDraw();
    if (base == nullptr) return;
    const PixelCanvas canvas{base,
                             properties.xPitchBytes / 2,
                             properties.yPitchBytes / 2,
                             {0, 0, screenWidth, screenHeight}};
    const SystemFonts fonts = pictureFonts != nullptr ? *pictureFonts : noFonts();
    drawNavigationBar(canvas, fonts, title, false, false);
    if (const MenuBarDescription* menu = loadMenuBar(programResources(), menuResource)) {
        const Bitmap image = loadBitmapResource(menuBarImageResource);
        drawMenuBar(canvas, fonts, menu->buttons, std::span<const Bitmap>(&image, 1), -1);
    }
    screen.endDraw();
}

}  // namespace veldra

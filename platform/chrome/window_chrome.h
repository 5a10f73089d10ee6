// The handheld's chrome, drawn into screen memory: the navigation bar at the top, the
// menu bar at the bottom and its pop-up menus, dialog controls, message boxes and the
// exclamation icon. Pure drawing and layout over a PixelCanvas in screen pixels; the
// window system decides when to draw what (platform/windows/window_system.h).
//
//   rows 0..25     navigation bar: the Start flag, the title, a Done ("ok") button at the
//                  right while a dialog that asked for one is up
//   rows 294..319  menu bar: buttons from the left, captions or a 16 x 16 image
//   pop-up menus   open upward from their button, their bottom on the menu bar's top
//
// Thread: whichever owns the canvas. No allocation.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/canvas/canvas.h"
#include "platform/chrome/window_resources.h"
#include "platform/screen/screen.h"

namespace veldra {

inline constexpr Rect navigationBarRect{0, 0, screenWidth, navigationBarHeight};
inline constexpr Rect menuBarRect{0, screenHeight - menuBarHeight, screenWidth, screenHeight};
// Where the navigation bar's Done button lies, and the Start flag.
inline constexpr Rect navigationDoneRect{202, 4, 236, 22};
inline constexpr Rect startFlagRect{3, 4, 22, 22};

// Colours of the chrome (0x00BBGGRR).
inline constexpr ColourRef chromeBarTop = 0xA85028;     // navigation bar, top row
inline constexpr ColourRef chromeBarBottom = 0x782808;  // navigation bar, bottom row
inline constexpr ColourRef chromeFace = 0xCED3D6;       // menu bar and button faces
inline constexpr ColourRef chromeShadow = 0x808080;     // the menu bar's top line
inline constexpr ColourRef chromeHighlight = 0x6B2408;  // pressed buttons, chosen items
inline constexpr ColourRef chromeWindow = colourWhite;  // dialogs, menus, message boxes
inline constexpr ColourRef chromeText = colourBlack;
inline constexpr ColourRef chromeCaption = 0x8C3C10;  // a message box's caption strip

// ---- navigation bar ----

void drawNavigationBar(const PixelCanvas& canvas, const SystemFonts& fonts, std::string_view title,
                       bool doneButton, bool donePressed);

// ---- menu bar ----

// The buttons' rectangles, left to right from the bar's left edge.
void layOutMenuBar(const SystemFonts& fonts, std::span<const MenuBarButton> buttons,
                   std::span<Rect> rects);

// images: the bitmaps added to the bar, each a strip of 16 x 16 images side by side.
// pressed: the index of the button drawn pressed, or -1.
void drawMenuBar(const PixelCanvas& canvas, const SystemFonts& fonts,
                 std::span<const MenuBarButton> buttons, std::span<const Bitmap> images,
                 int32_t pressed);

// ---- pop-up menus ----

// Where the menu of the button at buttonRect opens: above the menu bar, from the
// button's left edge, kept on the screen.
Rect popupMenuRect(const SystemFonts& fonts, std::span<const MenuItem> items,
                   const Rect& buttonRect);
// The item at (x, y) of a menu at rect, or -1.
int32_t popupItemAt(const SystemFonts& fonts, std::span<const MenuItem> items, const Rect& rect,
                    int32_t x, int32_t y);
void drawPopupMenu(const PixelCanvas& canvas, const SystemFonts& fonts,
                   std::span<const MenuItem> items, const Rect& rect, int32_t highlighted);

// ---- dialogs ----

void drawPushButton(const PixelCanvas& canvas, const GlyphFont& font, const Rect& rect,
                    std::string_view text, bool pressed, bool isDefault);

// 32 x 32: a yellow warning triangle with a black exclamation mark.
inline constexpr int32_t exclamationIconSize = 32;
void drawExclamationIcon(const PixelCanvas& canvas, int32_t x, int32_t y);

// ---- message boxes ----

struct MessageBoxLayout {
    Rect box;      // the whole box, border included
    Rect caption;  // the caption strip
    Rect icon;     // the icon's square (empty without an icon)
    Rect text;     // the message, word-broken (a word too wide for it broken where it stops
                   // fitting: a file's path in a message is shown whole)
    Rect button;   // the OK button
};

MessageBoxLayout layOutMessageBox(const SystemFonts& fonts, std::string_view text, bool withIcon);
void drawMessageBox(const PixelCanvas& canvas, const SystemFonts& fonts,
                    const MessageBoxLayout& layout, std::string_view text, std::string_view caption,
                    bool okPressed);

}  // namespace veldra

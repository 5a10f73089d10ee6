#include "platform/chrome/window_chrome.h"

#include <algorithm>

namespace veldra {
namespace {

constexpr int32_t menuImageSize = 16;
constexpr int32_t captionPadding = 8;  // pixels either side of a menu-bar caption
constexpr int32_t imageButtonWidth = 28;
constexpr int32_t popupItemPadding = 3;  // rows above and below an item's text
constexpr int32_t popupTextIndent = 10;
constexpr int32_t popupMinimumWidth = 90;

uint16_t colour(ColourRef c) {
    return blendColours(c, c, 0);
}

// Top of a line of text centred vertically in rect.
int32_t centredTop(const GlyphFont& font, const Rect& rect) {
    return rect.top + (rect.bottom - rect.top - font.lineHeight) / 2;
}

void drawCentredLine(const PixelCanvas& canvas, const GlyphFont& font, std::string_view text,
                     const Rect& rect, ColourRef ink, ColourRef paper) {
    const int32_t x = rect.left + (rect.right - rect.left - textWidth(font, text)) / 2;
    drawTextLine(canvas, font, text, x, centredTop(font, rect), ink, paper);
}

// The Start flag: a pennant in the dial's orange on a white pole, its cloth waving by a
// row every few columns.
void drawStartFlag(const PixelCanvas& canvas) {
    const Rect& f = startFlagRect;
    fillRect(canvas, {f.left + 1, f.top, f.left + 3, f.bottom}, colour(colourWhite));
    constexpr int32_t wave[] = {0, 0, 1, 1, 1, 0, 0, 0, -1, -1, -1, 0, 0, 0, 1, 1};
    const int32_t clothLeft = f.left + 3;
    for (int32_t i = 0; clothLeft + i < f.right && i < 16; ++i) {
        const int32_t top = f.top + 1 + wave[i];
        fillRect(canvas, {clothLeft + i, top, clothLeft + i + 1, top + 10}, colour(0x0063CE));
    }
}

}  // namespace

void drawNavigationBar(const PixelCanvas& canvas, const SystemFonts& fonts, std::string_view title,
                       bool doneButton, bool donePressed) {
    const PixelCanvas bar = clippedCanvas(canvas, navigationBarRect);
    const int32_t rows = navigationBarHeight;
    for (int32_t y = 0; y < rows; ++y) {
        fillRect(bar, {0, y, navigationBarRect.right, y + 1},
                 blendColours(chromeBarTop, chromeBarBottom,
                              static_cast<uint32_t>(y * 255 / (rows - 1))));
    }
    drawStartFlag(bar);
    const GlyphFont& font = *fonts.title;
    const int32_t titleRight = doneButton ? navigationDoneRect.left - 4 : navigationBarRect.right;
    const PixelCanvas titleArea =
        clippedCanvas(bar, {startFlagRect.right + 6, 0, titleRight, rows});
    const int32_t top = (rows - font.lineHeight) / 2;
    drawTextLineOver(titleArea, font, title, startFlagRect.right + 6, top, colourWhite);
    if (doneButton) {
        const Rect& d = navigationDoneRect;
        if (donePressed) fillRect(bar, d, colour(colourWhite));
        frameRect(bar, d, colour(colourWhite));
        const int32_t x = d.left + (d.right - d.left - textWidth(font, "ok")) / 2;
        drawTextLineOver(bar, font, "ok", x, centredTop(font, d),
                         donePressed ? chromeBarBottom : colourWhite);
    }
}

void layOutMenuBar(const SystemFonts& fonts, std::span<const MenuBarButton> buttons,
                   std::span<Rect> rects) {
    int32_t x = menuBarRect.left;
    for (size_t i = 0; i < buttons.size() && i < rects.size(); ++i) {
        const int32_t width = buttons[i].caption.empty()
                                  ? imageButtonWidth
                                  : textWidth(*fonts.text, buttons[i].caption) + 2 * captionPadding;
        rects[i] = {x, menuBarRect.top + 1, x + width, menuBarRect.bottom};
        x += width;
    }
}

void drawMenuBar(const PixelCanvas& canvas, const SystemFonts& fonts,
                 std::span<const MenuBarButton> buttons, std::span<const Bitmap> images,
                 int32_t pressed) {
    const PixelCanvas bar = clippedCanvas(canvas, menuBarRect);
    fillRect(bar, menuBarRect, colour(chromeFace));
    fillRect(bar, {menuBarRect.left, menuBarRect.top, menuBarRect.right, menuBarRect.top + 1},
             colour(chromeShadow));
    Rect rects[16];
    const size_t count = std::min(buttons.size(), std::size(rects));
    layOutMenuBar(fonts, buttons.first(count), std::span<Rect>(rects, count));
    for (size_t i = 0; i < count; ++i) {
        const MenuBarButton& button = buttons[i];
        const bool down = static_cast<int32_t>(i) == pressed;
        const ColourRef face = down ? chromeHighlight : chromeFace;
        fillRect(bar, rects[i], colour(face));
        if (!button.caption.empty()) {
            drawCentredLine(bar, *fonts.text, button.caption, rects[i],
                            down ? colourWhite : chromeText, face);
            continue;
        }
        // An image button: image imageIndex of the strips, in order.
        int32_t index = button.imageIndex;
        for (const Bitmap& strip : images) {
            const int32_t inStrip = strip.pixels == nullptr ? 0 : strip.width / menuImageSize;
            if (index >= inStrip) {
                index -= inStrip;
                continue;
            }
            if (index < 0) break;
            const int32_t x = (rects[i].left + rects[i].right - menuImageSize) / 2;
            const int32_t y = (rects[i].top + rects[i].bottom - menuImageSize) / 2;
            const PixelCanvas cell =
                clippedCanvas(bar, {x, y, x + menuImageSize, y + menuImageSize});
            copyBitmap(cell, strip, x - index * menuImageSize, y);
            break;
        }
    }
}

namespace {

int32_t popupItemHeight(const SystemFonts& fonts) {
    return fonts.text->lineHeight + 2 * popupItemPadding;
}

}  // namespace

Rect popupMenuRect(const SystemFonts& fonts, std::span<const MenuItem> items,
                   const Rect& buttonRect) {
    int32_t width = popupMinimumWidth;
    for (const MenuItem& item : items) {
        width = std::max(width, textWidth(*fonts.text, item.text) + 2 * popupTextIndent + 2);
    }
    width = std::min(width, menuBarRect.right);
    const int32_t height = static_cast<int32_t>(items.size()) * popupItemHeight(fonts) + 4;
    const int32_t left = std::clamp(buttonRect.left, 0, menuBarRect.right - width);
    const int32_t bottom = menuBarRect.top;
    return {left, std::max(0, bottom - height), left + width, bottom};
}

int32_t popupItemAt(const SystemFonts& fonts, std::span<const MenuItem> items, const Rect& rect,
                    int32_t x, int32_t y) {
    if (!rectContains(rect, x, y)) return -1;
    const int32_t row = (y - rect.top - 2) / popupItemHeight(fonts);
    if (y < rect.top + 2 || row >= static_cast<int32_t>(items.size())) return -1;
    return row;
}

void drawPopupMenu(const PixelCanvas& canvas, const SystemFonts& fonts,
                   std::span<const MenuItem> items, const Rect& rect, int32_t highlighted) {
    const PixelCanvas menu = clippedCanvas(canvas, rect);
    fillRect(menu, rect, colour(chromeWindow));
    frameRect(menu, rect, colour(chromeText));
    const int32_t itemHeight = popupItemHeight(fonts);
    for (size_t i = 0; i < items.size(); ++i) {
        const int32_t top = rect.top + 2 + static_cast<int32_t>(i) * itemHeight;
        const bool lit = static_cast<int32_t>(i) == highlighted;
        const ColourRef paper = lit ? chromeHighlight : chromeWindow;
        if (lit)
            fillRect(menu, {rect.left + 2, top, rect.right - 2, top + itemHeight}, colour(paper));
        drawTextLine(menu, *fonts.text, items[i].text, rect.left + popupTextIndent,
                     top + popupItemPadding, lit ? colourWhite : chromeText, paper);
    }
}

void drawPushButton(const PixelCanvas& canvas, const GlyphFont& font, const Rect& rect,
                    std::string_view text, bool pressed, bool isDefault) {
    const ColourRef face = pressed ? chromeHighlight : chromeFace;
    fillRect(canvas, rect, colour(face));
    frameRect(canvas, rect, colour(chromeText));
    if (isDefault)
        frameRect(canvas, {rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1},
                  colour(chromeText));
    drawCentredLine(clippedCanvas(canvas, rect), font, text, rect,
                    pressed ? colourWhite : chromeText, face);
}

void drawExclamationIcon(const PixelCanvas& canvas, int32_t x, int32_t y) {
    const uint16_t yellow = colour(0x00CCFF);
    const uint16_t black = colour(colourBlack);
    // Rows 1..30: a triangle whose half-width grows by one pixel every other row.
    for (int32_t row = 1; row <= 30; ++row) {
        const int32_t half = row / 2;
        const int32_t left = x + 15 - half;
        const int32_t right = x + 16 + half;  // inclusive
        fillRect(canvas, {left, y + row, right + 1, y + row + 1}, row == 30 ? black : yellow);
        putPixel(canvas, left, y + row, black);
        putPixel(canvas, right, y + row, black);
    }
    fillRect(canvas, {x + 14, y + 10, x + 18, y + 22}, black);
    fillRect(canvas, {x + 14, y + 24, x + 18, y + 28}, black);
}

MessageBoxLayout layOutMessageBox(const SystemFonts& fonts, std::string_view text, bool withIcon) {
    constexpr int32_t boxLeft = 10;
    constexpr int32_t boxRight = 230;
    constexpr int32_t margin = 10;
    constexpr int32_t buttonWidth = 64;
    constexpr int32_t buttonHeight = 22;
    const GlyphFont& font = *fonts.text;
    const int32_t captionHeight = fonts.title->lineHeight + 6;
    const int32_t textLeft = boxLeft + margin + (withIcon ? exclamationIconSize + margin : 0);
    const int32_t textRight = boxRight - margin;
    const int32_t textRows = textHeight(font, text, textRight - textLeft, true, true);
    const int32_t bodyRows = std::max(withIcon ? exclamationIconSize : 0, textRows);
    const int32_t height = captionHeight + margin + bodyRows + margin + buttonHeight + margin;
    // Centred on the area between the navigation bar and the menu bar.
    const int32_t top =
        std::max(navigationBarHeight, (navigationBarHeight + menuBarRect.top - height) / 2);
    MessageBoxLayout l;
    l.box = {boxLeft, top, boxRight, top + height};
    l.caption = {boxLeft + 1, top + 1, boxRight - 1, top + captionHeight};
    const int32_t bodyTop = l.caption.bottom + margin;
    l.icon = withIcon ? Rect{boxLeft + margin, bodyTop, boxLeft + margin + exclamationIconSize,
                             bodyTop + exclamationIconSize}
                      : Rect{0, 0, 0, 0};
    const int32_t textTop = bodyTop + (bodyRows - textRows) / 2;
    l.text = {textLeft, textTop, textRight, textTop + textRows};
    const int32_t buttonTop = bodyTop + bodyRows + margin;
    const int32_t centre = (boxLeft + boxRight) / 2;
    l.button = {centre - buttonWidth / 2, buttonTop, centre + buttonWidth / 2,
                buttonTop + buttonHeight};
    return l;
}

void drawMessageBox(const PixelCanvas& canvas, const SystemFonts& fonts,
                    const MessageBoxLayout& layout, std::string_view text, std::string_view caption,
                    bool okPressed) {
    const PixelCanvas box = clippedCanvas(canvas, layout.box);
    fillRect(box, layout.box, colour(chromeWindow));
    frameRect(box, layout.box, colour(chromeText));
    fillRect(box, layout.caption, colour(chromeCaption));
    drawTextLine(clippedCanvas(box, layout.caption), *fonts.title, caption, layout.caption.left + 6,
                 centredTop(*fonts.title, layout.caption), colourWhite, chromeCaption);
    if (!isEmptyRect(layout.icon)) drawExclamationIcon(box, layout.icon.left, layout.icon.top);
    drawText(box, *fonts.text, text, layout.text, textWordBreak | textBreakLongWords, chromeText,
             chromeWindow);
    drawPushButton(box, *fonts.text, layout.button, "OK", okPressed, true);
}

}  // namespace veldra

// The shapes of the resources a program hands the window system: menus and menu bars,
// dialog templates and accelerator tables. The program keeps them as constant data
// (numbered as on the handheld); the window system reads them and never keeps copies of
// the texts, so the data must live as long as the windows made from it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/screen/screen.h"

namespace veldra {

// ---- menus ----

// One item of a drop-down menu: its text and the command it sends.
struct MenuItem {
    std::string_view text;
    uint16_t command;
};

enum class MenuButtonKind : int32_t {
    DropDown,  // opens its sub-menu upward
    Plain,     // sends its command when tapped
};

// One button of a menu bar. A button without caption shows image number imageIndex of
// the bitmaps added to the bar (addMenuBarBitmap).
struct MenuBarButton {
    std::string_view caption;  // empty for an image button
    uint16_t command;          // sent by a plain button; names a drop-down one
    MenuButtonKind kind;
    std::span<const MenuItem> items;  // the drop-down content
    int32_t imageIndex;               // for an image button; -1 otherwise
};

struct MenuBarDescription {
    int32_t id;  // the resource number
    std::span<const MenuBarButton> buttons;
};

// ---- dialogs ----

enum class DialogControlKind : int32_t {
    Icon,           // shows image
    Text,           // static text, word-broken in its rectangle
    CentredText,    // the same, each line centred
    Button,         // a push button sending its id
    DefaultButton,  // the push button that Enter presses
};

// One control; position and size in dialog units (a quarter of the font's average
// character width across, an eighth of its line height down).
struct DialogControl {
    DialogControlKind kind;
    int32_t id;
    std::string_view text;
    int32_t x, y, width, height;
    Bitmap image;  // for an Icon (not owned)
};

struct DialogTemplate {
    int32_t id;                // the resource number
    std::string_view caption;  // shown in the navigation bar while the dialog is up
    int32_t width, height;     // dialog units
    int32_t fontPoints;        // 8, 9 or 10: the system font at that size
    std::span<const DialogControl> controls;
};

// ---- accelerators ----

inline constexpr uint8_t acceleratorVirtualKey = 1;  // key is a virtual-key code
inline constexpr uint8_t acceleratorControl = 8;     // with the Control key held
inline constexpr uint8_t acceleratorShift = 4;       // with the Shift key held

struct Accelerator {
    uint8_t flags;     // acceleratorVirtualKey | acceleratorControl | ...
    uint16_t key;      // virtual-key code ('A' is 0x41)
    uint16_t command;  // the command id sent
};

struct AcceleratorTable {
    int32_t id;
    std::span<const Accelerator> entries;
};

}  // namespace veldra

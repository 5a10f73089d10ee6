// The program's resources other than pictures, as data with the platform's numbers: the
// string table, the menu and menu-bar description 102, accelerator table 3 and the
// dialog templates 103 (About), 118 (the start-up notice) and 130 (Settings). The pictures (icon
// 105, bitmaps 120 and 124) and the menu bar's faces come with the views (views/pictures.h,
// views/window_bars.h).
//
// A ResourceTable is what the program instance stands for: everything is loaded from
// it by number. Its contents are constant and live for the whole program.
// Thread: main thread only (the Instrument menu's labels are made on first use).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/chrome/chrome.h"

namespace veldra {

// String ids.
inline constexpr int32_t titleString = 1;           // "Veldra"
inline constexpr int32_t classNameString = 3;       // "ORVANE"
inline constexpr int32_t instrumentString = 40021;  // menu-bar captions
inline constexpr int32_t startString = 40024;
inline constexpr int32_t exitString = 40025;
inline constexpr int32_t helpString = 40030;

// Other resource ids.
inline constexpr int32_t menuResource = 102;
inline constexpr int32_t acceleratorResource = 3;
inline constexpr int32_t aboutDialogResource = 103;
inline constexpr int32_t noticeDialogResource = 118;
inline constexpr int32_t settingsDialogResource = 130;

// Command ids of the menus and accelerators.
inline constexpr uint16_t commandClose = 1;
inline constexpr uint16_t commandAbout = 40003;
inline constexpr uint16_t commandInstrumentMenu = 40004;
inline constexpr uint16_t commandGuitar = 40007;
inline constexpr uint16_t commandViolin = 40008;
inline constexpr uint16_t commandCello = 40009;
inline constexpr uint16_t commandErhu = 40010;
inline constexpr uint16_t commandPipa = 40011;
inline constexpr uint16_t commandBass = 40012;
inline constexpr uint16_t commandSinging = 40014;
inline constexpr uint16_t commandAlto = 40015;
inline constexpr uint16_t commandHelpMenu = 40016;
inline constexpr uint16_t commandContent = 40019;
inline constexpr uint16_t commandStartMenu = 40022;
inline constexpr uint16_t commandExit = 40025;
inline constexpr uint16_t commandImageButton = 40028;
inline constexpr uint16_t commandSettings = 40040;

// The notice's "OK" button, and the one that keeps it from showing again.
inline constexpr int32_t noticeOkButton = 1012;
inline constexpr int32_t noticeSkipButton = 1013;

// The settings dialog: settingsRowsShown rows, each a text (settingsRowLabel + row) between
// a step-back and a step-on button; OK is commandOk, Cancel commandCancel.
inline constexpr int32_t settingsRowsShown = 6;
inline constexpr int32_t settingsRowLabel = 1100;
inline constexpr int32_t settingsBackButton = 1120;
inline constexpr int32_t settingsOnButton = 1140;

struct ResourceTable;

// The program's own resources.
const ResourceTable& programResources();

// Copies string id into buffer (capacity characters, terminator included, cut to fit)
// and returns its length; 0 with an empty buffer when there is no such string.
size_t loadString(const ResourceTable& resources, int32_t id, char* buffer, size_t capacity);

// Null when the table has no such resource.
const MenuBarDescription* loadMenuBar(const ResourceTable& resources, int32_t id);
const AcceleratorTable* loadAccelerators(const ResourceTable& resources, int32_t id);
const DialogTemplate* loadDialog(const ResourceTable& resources, int32_t id);

}  // namespace veldra

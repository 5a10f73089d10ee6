// The resource script: strings, menus, accelerators and dialogs.
#include "app/resource_script.h"

#include <array>
#include <string>

#include "platform/windows/windows.h"
#include "views/views.h"

namespace veldra {

struct ResourceTable {
    std::span<const std::pair<int32_t, std::string_view>> strings;
};

namespace {

constexpr std::pair<int32_t, std::string_view> strings[] = {
    {titleString, "Veldra"},
    {classNameString, "ORVANE"},
    {instrumentString, menuBarFaces[instrumentButton].caption},
    {startString, menuBarFaces[startButton].caption},
    {exitString, "Exit"},
    {helpString, menuBarFaces[helpButton].caption},
};

constexpr ResourceTable table{strings};

std::string_view stringOf(int32_t id) {
    for (const auto& [number, text] : strings) {
        if (number == id) return text;
    }
    return {};
}

// ---- menu 102 and its menu-bar description ----

const MenuItem startItems[] = {{"Settings", commandSettings}, {stringOf(exitString), commandExit}};

// The Instrument menu: one item per mode, in the order of the modes, labelled with the
// mode's display name.
constexpr std::array<uint16_t, instrumentKindCount> modeCommands = {
    commandGuitar, commandViolin, commandCello, commandErhu,
    commandPipa,   commandBass,   commandAlto,  commandSinging};

std::span<const MenuItem> instrumentItems() {
    static std::array<std::string, instrumentKindCount> names;
    static std::array<MenuItem, instrumentKindCount> items;
    static bool made = false;
    if (!made) {
        for (int32_t k = 0; k < instrumentKindCount; ++k) {
            instrumentName(names[static_cast<size_t>(k)], static_cast<InstrumentKind>(k));
            items[static_cast<size_t>(k)] = {names[static_cast<size_t>(k)],
                                             modeCommands[static_cast<size_t>(k)]};
        }
        made = true;
    }
    return items;
}

const MenuItem helpItems[] = {{"About", commandAbout}, {"Content", commandContent}};

// A button of the bar as the views draw it, with what it does.
constexpr MenuBarButton working(int32_t button, uint16_t command, std::span<const MenuItem> items) {
    MenuBarButton b = menuBarFaces[button];
    b.command = command;
    b.items = items;
    return b;
}

const MenuBarDescription& menuBar() {
    static const MenuBarButton buttons[] = {
        working(startButton, commandStartMenu, startItems),
        working(instrumentButton, commandInstrumentMenu, instrumentItems()),
        working(helpButton, commandHelpMenu, helpItems),
        working(imageButton, commandImageButton, {}),
    };
    static const MenuBarDescription description{menuResource, buttons};
    return description;
}

// ---- accelerator table 3 ----

constexpr Accelerator acceleratorEntries[] = {
    {acceleratorVirtualKey | acceleratorControl, 'A', commandAbout},
    {acceleratorVirtualKey | acceleratorControl, 'Q', commandClose},
};
constexpr AcceleratorTable accelerators{acceleratorResource, acceleratorEntries};

// ---- dialogs 103 and 118 ----

constexpr std::string_view versionLabel = "Veldra V." VELDRA_VERSION;
constexpr std::string_view copyrightLine = "(c) 2026 the Veldra authors, MIT License";

const DialogTemplate& aboutDialog() {
    static const DialogControl controls[] = {
        {DialogControlKind::Icon, -1, {}, 8, 8, 21, 20, loadBitmapResource(iconResource)},
        {DialogControlKind::Text, -1, versionLabel, 36, 14, 100, 10, {}},
        {DialogControlKind::Text,
         -1,
         "A tuner for strings and the singing voice.",
         8,
         40,
         130,
         20,
         {}},
        {DialogControlKind::Text, -1, copyrightLine, 8, 66, 130, 20, {}},
    };
    static const DialogTemplate dialog{aboutDialogResource, "About Orvane", 145, 154, 8, controls};
    return dialog;
}

const DialogTemplate& noticeDialog() {
    static const DialogControl controls[] = {
        {DialogControlKind::Icon, -1, {}, 6, 6, 21, 20, loadBitmapResource(iconResource)},
        {DialogControlKind::Text, -1, versionLabel, 34, 12, 100, 10, {}},
        {DialogControlKind::Text, -1, "Thank you for choosing Veldra.", 6, 34, 127, 20, {}},
        {DialogControlKind::Text, -1, copyrightLine, 6, 56, 127, 20, {}},
        {DialogControlKind::Text,
         -1,
         "Something wrong? Help > Content says what to try.",
         6,
         80,
         127,
         40,
         {}},
        {DialogControlKind::DefaultButton, noticeOkButton, "OK", 44, 120, 50, 15, {}},
        {DialogControlKind::Button,
         noticeSkipButton,
         "Don't show this again",
         12,
         140,
         115,
         15,
         {}},
    };
    static const DialogTemplate dialog{
        noticeDialogResource, "Detect Setting", 139, 157, 10, controls};
    return dialog;
}

// Rows of 14 units every 20 (at 10 points a unit is about 2 pixels across and 1.6 down,
// so the screen below the navigation bar is some 120 by 165), then OK and Cancel; the
// rows' texts are the dialog's to set.
const DialogTemplate& settingsDialog() {
    constexpr int32_t rowStep = 20;
    static const auto controls = [] {
        std::array<DialogControl, 3 * settingsRowsShown + 2> c{};
        for (int32_t r = 0; r < settingsRowsShown; ++r) {
            const int32_t y = 4 + r * rowStep;
            const auto at = [&](int32_t column) -> DialogControl& {
                return c[static_cast<size_t>(3 * r + column)];
            };
            at(0) = {DialogControlKind::Button, settingsBackButton + r, "<", 1, y, 13, 14, {}};
            at(1) = {
                DialogControlKind::CentredText, settingsRowLabel + r, "", 16, y + 3, 86, 11, {}};
            at(2) = {DialogControlKind::Button, settingsOnButton + r, ">", 104, y, 13, 14, {}};
        }
        const int32_t y = 8 + settingsRowsShown * rowStep;
        c[3 * settingsRowsShown] = {
            DialogControlKind::DefaultButton, commandOk, "OK", 8, y, 48, 16, {}};
        c[3 * settingsRowsShown + 1] = {
            DialogControlKind::Button, commandCancel, "Cancel", 64, y, 48, 16, {}};
        return c;
    }();
    static const DialogTemplate dialog{settingsDialogResource, "Settings", 120, 165, 10, controls};
    return dialog;
}

}  // namespace

const ResourceTable& programResources() {
    return table;
}

size_t loadString(const ResourceTable& resources, int32_t id, char* buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    std::string_view text;
    for (const auto& [number, s] : resources.strings) {
        if (number == id) text = s;
    }
    const size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
    text.copy(buffer, length);
    buffer[length] = 0;
    return length;
}

const MenuBarDescription* loadMenuBar(const ResourceTable& resources, int32_t id) {
    return &resources == &table && id == menuResource ? &menuBar() : nullptr;
}

const AcceleratorTable* loadAccelerators(const ResourceTable& resources, int32_t id) {
    return &resources == &table && id == acceleratorResource ? &accelerators : nullptr;
}

const DialogTemplate* loadDialog(const ResourceTable& resources, int32_t id) {
    if (&resources != &table) return nullptr;
    if (id == aboutDialogResource) return &aboutDialog();
    if (id == noticeDialogResource) return &noticeDialog();
    if (id == settingsDialogResource) return &settingsDialog();
    return nullptr;
}

}  // namespace veldra

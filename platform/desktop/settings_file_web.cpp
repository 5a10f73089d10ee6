// The settings store in the browser: the page's storage (localStorage), under one key, in
// the desktop file's text. The storage is reached through the browser back end's script
// (platform/web/veldra_library.js). Where the browser refuses storage (a private window
// that forbids it, storage turned off for the site, the quota used up), the values live
// in memory for the visit, and the browser's console says so once.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/desktop/settings_store.h"

extern "C" char* veldra_settings_read();                 // malloc'd text, or null (none, refused)
extern "C" int veldra_settings_write(const char* text);  // 1 when stored

namespace veldra {
namespace {

bool failureSaid = false;
SettingsValues visitOnly;  // what the visit chose when the storage refused it
bool refused = false;      // a write was refused: the visit's values are the ones to read

}  // namespace

std::string settingsPath() {
    return {};
}

SettingsValues loadSettings() {
    if (refused) return visitOnly;
    SettingsValues values;
    char* text = veldra_settings_read();
    if (text == nullptr) return values;
    std::string why;
    if (!parseSettings(text, values, why))
        std::fprintf(stderr, "veldra: the stored settings are damaged (%s); using the defaults\n",
                     why.c_str());
    std::free(text);
    return values;
}

bool saveSettings(const SettingsValues& values) {
    if (veldra_settings_write(formatSettings(values).c_str()) != 0) {
        refused = false;
        return true;
    }
    refused = true;
    visitOnly = values;
    if (!failureSaid) {
        failureSaid = true;
        std::fprintf(stderr,
                     "veldra: the browser keeps no settings for this page; the choices hold "
                     "for this visit only\n");
    }
    return false;
}

void resetSettingsStore() {
    failureSaid = false;
    refused = false;
    visitOnly.clear();
}

}  // namespace veldra

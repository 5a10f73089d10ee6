// The settings' text, shared by the file (settings_file.cpp) and the page's storage
// (settings_file_web.cpp).
#include <string>

#include "platform/desktop/settings_store.h"

namespace veldra {
namespace {

bool keepsName(std::string_view name) {
    return !name.empty() && name.find_first_of("=\n\r") == std::string_view::npos;
}
bool keepsValue(std::string_view value) {
    return value.find_first_of("\n\r") == std::string_view::npos;
}

}  // namespace

std::string formatSettings(const SettingsValues& values) {
    std::string text(settingsFirstLine);
    text += '\n';
    for (const auto& [name, value] : values) {
        if (!keepsName(name) || !keepsValue(value)) continue;
        text += name + '=' + value + '\n';
    }
    return text;
}

bool parseSettings(std::string_view text, SettingsValues& values, std::string& why) {
    values.clear();
    if (text.size() > settingsMaxBytes) {
        why = "longer than " + std::to_string(settingsMaxBytes) + " bytes";
        return false;
    }
    if (text.find('\0') != std::string_view::npos) {
        why = "holds a NUL byte";
        return false;
    }
    size_t line = 0;
    while (!text.empty()) {
        ++line;
        const size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (row.ends_with('\r')) row.remove_suffix(1);
        if (line == 1) {
            if (row != settingsFirstLine) {
                why = "line 1 is not \"" + std::string(settingsFirstLine) + "\"";
                values.clear();
                return false;
            }
            continue;
        }
        if (row.empty()) continue;
        const size_t equals = row.find('=');
        if (equals == 0 || equals == std::string_view::npos) {
            why = "line " + std::to_string(line) + " is not name=value";
            values.clear();
            return false;
        }
        values[std::string(row.substr(0, equals))] = std::string(row.substr(equals + 1));
    }
    if (line == 0) {
        why = "empty";
        return false;
    }
    return true;
}

}  // namespace veldra

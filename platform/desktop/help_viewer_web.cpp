// The help viewer in the browser: the help page is one of the site's own files, beside
// the page (Veldra.htm), and opens in a new tab at the fragment. The tab is opened by the
// browser back end's script (platform/web/veldra_library.js), which the page links in;
// a tab the browser refuses (a pop-up blocker) counts as a viewer that failed.
#include <cstdio>

#include "platform/desktop/help_viewer.h"

extern "C" int veldra_open_page(const char* url);  // 1 when a tab opened

namespace veldra {

std::vector<std::string> helpFolders() {
    return {""};  // relative to the page
}

std::string helpUrl(std::string_view commandLine, const std::vector<std::string>& folders) {
    constexpr std::string_view scheme = "file:";
    if (commandLine.substr(0, scheme.size()) != scheme || folders.empty()) return {};
    const std::string_view rest = commandLine.substr(scheme.size());
    const std::string_view name = rest.substr(0, rest.find('#'));
    if (name.empty() || name.find('/') != std::string_view::npos) return {};
    return folders.front() + std::string(rest);
}

std::string helpPagePath(std::string_view commandLine) {
    const std::string url = helpUrl(commandLine, helpFolders());
    return url.substr(0, url.find('#'));
}

bool startHelpViewer(std::string_view commandLine) {
    return startHelpViewer(commandLine, helpFolders());
}

bool startHelpViewer(std::string_view commandLine, const std::vector<std::string>& folders) {
    const std::string url = helpUrl(commandLine, folders);
    if (url.empty()) {
        std::fprintf(stderr, "veldra: no help page for \"%.*s\"\n",
                     static_cast<int>(commandLine.size()), commandLine.data());
        return false;
    }
    return veldra_open_page(url.c_str()) != 0;
}

}  // namespace veldra

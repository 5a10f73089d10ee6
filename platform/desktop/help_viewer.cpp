#include "platform/desktop/help_viewer.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace veldra {
namespace {

// The path with every byte outside the URL's safe set written as %XX.
std::string urlPath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        if (std::isalnum(c) != 0 || std::strchr("/-._~", c) != nullptr) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string programFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    const std::string exe(path, static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace

std::vector<std::string> helpFolders() {
    const std::string folder = programFolder();
    if (folder.empty()) return {};
    return {folder + "../share/veldra/", folder};
}

std::string helpUrl(std::string_view commandLine, const std::vector<std::string>& folders) {
    constexpr std::string_view scheme = "file:";
    if (commandLine.substr(0, scheme.size()) != scheme) return {};
    const std::string_view rest = commandLine.substr(scheme.size());
    const size_t hash = rest.find('#');
    const std::string name(rest.substr(0, hash));
    if (name.empty() || name.find('/') != std::string::npos) return {};
    for (const std::string& folder : folders) {
        const std::string path = folder + name;
        char resolved[4096];
        if (realpath(path.c_str(), resolved) == nullptr || access(resolved, R_OK) != 0) continue;
        std::string url = "file://" + urlPath(resolved);
        if (hash != std::string_view::npos) url += rest.substr(hash);
        return url;
    }
    return {};
}

bool startHelpViewer(std::string_view commandLine) {
    return startHelpViewer(commandLine, helpFolders());
}

bool startHelpViewer(std::string_view commandLine, const std::vector<std::string>& folders) {
    const std::string url = helpUrl(commandLine, folders);
    if (url.empty()) {
        std::fprintf(stderr,
                     "veldra: cannot find the help page of \"%.*s\" next to the program or in "
                     "../share/veldra/\n",
                     static_cast<int>(commandLine.size()), commandLine.data());
        return false;
    }
    const char* variable = std::getenv(helpOpenerVariable);
    const std::string opener = variable != nullptr && *variable != 0 ? variable : "xdg-open";
    // Everything the new process needs is made before fork: after it, only calls that
    // are safe in a child of a threaded process.
    char* const arguments[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(url.c_str()),
                               nullptr};
    const std::string failure = "veldra: cannot start the help viewer " + opener + "\n";
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // The child starts the viewer as a grandchild and ends, so that nobody has to wait
        // for the viewer and it never lingers as a zombie.
        setsid();
        if (fork() == 0) {
            execvp(arguments[0], arguments);
            (void)!write(STDERR_FILENO, failure.data(), failure.size());
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace veldra

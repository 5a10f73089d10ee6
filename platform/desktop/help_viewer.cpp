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

constexpr int viewerPatienceMs = 2000;  // xdg-open answers within this, browser or none

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

namespace {

// The readable page a command line names, in the first folder that has it; empty for none.
std::string findPage(std::string_view commandLine, const std::vector<std::string>& folders) {
    constexpr std::string_view scheme = "file:";
    if (commandLine.substr(0, scheme.size()) != scheme) return {};
    const std::string_view rest = commandLine.substr(scheme.size());
    const std::string name(rest.substr(0, rest.find('#')));
    if (name.empty() || name.find('/') != std::string::npos) return {};
    for (const std::string& folder : folders) {
        const std::string path = folder + name;
        char resolved[4096];
        if (realpath(path.c_str(), resolved) != nullptr && access(resolved, R_OK) == 0)
            return resolved;
    }
    return {};
}

}  // namespace

std::string helpUrl(std::string_view commandLine, const std::vector<std::string>& folders) {
    const std::string page = findPage(commandLine, folders);
    if (page.empty()) return {};
    const size_t hash = commandLine.find('#');
    return "file://" + urlPath(page) +
           std::string(hash != std::string_view::npos ? commandLine.substr(hash) : "");
}

std::string helpPagePath(std::string_view commandLine) {
    return findPage(commandLine, helpFolders());
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
        // The child starts the viewer as a grandchild, so that the viewer never lingers as
        // a zombie of ours, and ends with the viewer's status if it ends within the
        // patience (a failure: no browser), or with 0 if it is still showing the page.
        setsid();
        const pid_t viewer = fork();
        if (viewer == 0) {
            execvp(arguments[0], arguments);
            (void)!write(STDERR_FILENO, failure.data(), failure.size());
            _exit(127);
        }
        for (int waited = 0; viewer > 0 && waited < viewerPatienceMs; waited += 10) {
            int status = 0;
            if (waitpid(viewer, &status, WNOHANG) == viewer)
                _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
            usleep(10000);
        }
        _exit(viewer > 0 ? 0 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace veldra

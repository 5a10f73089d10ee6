// The settings store on the desktop: one file under the user's configuration folder,
// replaced whole by a rename (settings_store.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/desktop/settings_store.h"

namespace veldra {
namespace {

bool failureSaid = false;  // the first failure to save has been said on stderr

std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

// Reads at most settingsMaxBytes + 1 bytes (enough to tell a file too long); false with
// errno set when the file cannot be read.
bool readSettingsFile(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    text.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > settingsMaxBytes) break;
    }
    ::close(fd);
    return true;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The new file beside the old, synced, renamed over it, and the folder synced so that the
// rename itself survives a crash. False with errno set; nothing is left behind.
bool replaceWhole(const std::string& path, const std::string& text) {
    const std::string folder = folderOf(path);
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::string temporary = folder + "/.settings-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = written ? errno : writeError;
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace

std::string settingsPath() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/')
        return std::string(config) + "/veldra/settings";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0)
        return std::string(home) + "/.config/veldra/settings";
    return {};
}

SettingsValues loadSettings() {
    SettingsValues values;
    const std::string path = settingsPath();
    std::string text;
    if (path.empty()) return values;
    if (!readSettingsFile(path, text)) {
        if (errno != ENOENT) {
            std::fprintf(stderr, "veldra: cannot read %s (%s); using the defaults\n", path.c_str(),
                         std::strerror(errno));
        }
        return values;
    }
    std::string why;
    if (parseSettings(text, values, why)) return values;
    const std::string aside = path + ".damaged-" + std::to_string(std::time(nullptr));
    if (::rename(path.c_str(), aside.c_str()) == 0) {
        std::fprintf(stderr, "veldra: %s is damaged (%s); kept as %s, using the defaults\n",
                     path.c_str(), why.c_str(), aside.c_str());
    } else {
        std::fprintf(stderr,
                     "veldra: %s is damaged (%s) and cannot be kept aside (%s); using the "
                     "defaults\n",
                     path.c_str(), why.c_str(), std::strerror(errno));
    }
    return values;
}

bool saveSettings(const SettingsValues& values) {
    const std::string path = settingsPath();
    const bool saved = !path.empty() && replaceWhole(path, formatSettings(values));
    if (!saved && !failureSaid) {
        failureSaid = true;
        if (path.empty()) {
            std::fprintf(stderr,
                         "veldra: neither XDG_CONFIG_HOME nor HOME is set; the choices hold "
                         "for this run only\n");
        } else {
            std::fprintf(stderr,
                         "veldra: cannot keep the settings in %s (%s); the choices "
                         "hold for this run only\n",
                         path.c_str(), std::strerror(errno));
        }
    }
    return saved;
}

void resetSettingsStore() {
    failureSaid = false;
}

}  // namespace veldra

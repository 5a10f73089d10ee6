// Sections: destination: where a path leads and whether a picture may go there; write: the
// temporary file; commit.
#include "platform/screen/screen_png.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace veldra {
namespace {

bool fail(std::string& error, const std::string& path, const std::string& reason) {
    error = path + ": cannot be written (" + reason + ")";
    return false;
}

std::string systemReason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// ---- destination ----
// The file a path leads to, held by its folder so that the rename lands where the checks
// looked.
struct Target {
    int folder = -1;    // open (O_PATH) folder of the target
    std::string name;   // the target's name in it
    struct stat file {  // the target, when it exists
    };
    bool exists = false;
};

// Finds and checks the target of path; false with reason set when no picture may go there.
bool findTarget(const std::string& path, Target& target, std::string& reason) {
    reason = outputLinkRefused(path);
    if (!reason.empty()) return false;
    std::string resolved = path;
    // O_PATH opens without reading or writing: a FIFO does not block, a device is not touched.
    const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd >= 0) {
        const bool stated = fstat(fd, &target.file) == 0;
        close(fd);
        if (!stated) return reason = std::strerror(errno), false;
        if (S_ISDIR(target.file.st_mode)) return reason = "it is a folder", false;
        if (!S_ISREG(target.file.st_mode))
            return reason = "not a regular file: a device, a FIFO or a socket", false;
        // The kernel followed any links; realpath names where they led.
        char* real = realpath(path.c_str(), nullptr);
        if (real == nullptr) return reason = std::strerror(errno), false;
        resolved = real;
        std::free(real);
        target.exists = true;
    } else if (errno != ENOENT) {
        return reason = std::strerror(errno), false;
    } else if (struct stat link{}; lstat(path.c_str(), &link) == 0) {
        return reason = "a symbolic link to nothing", false;
    }
    const size_t slash = resolved.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : resolved.substr(0, slash);
    target.name = slash == std::string::npos ? resolved : resolved.substr(slash + 1);
    if (target.name.empty() || target.name == "." || target.name == "..")
        return reason = "not a file name", false;
    target.folder = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (target.folder < 0) {
        reason = errno == ENOENT ? "no folder " + folder : folder + ": " + std::strerror(errno);
        return false;
    }
    if (!target.exists) return true;
    struct stat now {};
    if (fstatat(target.folder, target.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        now.st_dev != target.file.st_dev || now.st_ino != target.file.st_ino)
        return reason = "it changed while it was looked at", false;
    if (faccessat(target.folder, target.name.c_str(), W_OK, AT_EACCESS) != 0)
        return reason = std::string("may not be written: ") + std::strerror(errno), false;
    return true;
}

// ---- write ----
// RGB565 to 8-bit RGB; repeating the top bits maps full scale to 255.
std::vector<uint8_t> toRgb(const uint16_t* pixels, size_t count) {
    std::vector<uint8_t> rgb(count * 3);
    for (size_t p = 0; p < count; ++p) {
        const uint32_t v = pixels[p];
        const uint32_t r = v >> 11;
        const uint32_t g = (v >> 5) & 63;
        const uint32_t b = v & 31;
        rgb[3 * p] = static_cast<uint8_t>((r << 3) | (r >> 2));
        rgb[3 * p + 1] = static_cast<uint8_t>((g << 2) | (g >> 4));
        rgb[3 * p + 2] = static_cast<uint8_t>((b << 3) | (b >> 2));
    }
    return rgb;
}

// The mode a newly created file gets from the process's umask.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// A new file of a free name ".veldra-XXXXXX" in folder, open for writing; -1 on failure.
// O_EXCL and O_NOFOLLOW make the name safe to guess, so it need not be unpredictable.
int createTemporary(int folder, std::string& name) {
    static uint64_t counter = 0;
    constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        uint64_t bits =
            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            (static_cast<uint64_t>(getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15u);
        name = ".veldra-";
        for (int i = 0; i < 6; ++i, bits /= 36)
            name += letters[bits % 36];
        const int fd = openat(folder, name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Writes the PNG of the picture into the open stream; false with reason set.
bool encodePng(FILE* file, const std::vector<uint8_t>& rgb, int32_t width, int32_t height,
               std::string& reason) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    const bool ok = png_image_write_to_stdio(&image, file, 0, rgb.data(), 3 * width, nullptr) != 0;
    // A failed write leaves its mark on the stream (and its reason in errno).
    if (!ok)
        reason = std::ferror(file) ? systemReason("write failed")
                                   : std::string("PNG encoding failed: ") + image.message;
    png_image_free(&image);
    return ok;
}

// Writes the content (encode) into the open temporary file, gives it the target's mode and
// owner, and closes it; the caller removes the file when this fails. Durable: synced to the
// disk before it is closed.
bool writeAndClose(FILE* file, const std::function<bool(FILE*, std::string&)>& encode,
                   const Target& target, std::string& reason, bool durable = true) {
    bool ok = encode(file, reason);
    if (ok && (std::fflush(file) != 0 || (durable && fsync(fileno(file)) != 0))) {
        ok = false;
        reason = systemReason("write failed");
    }
    // The owner first: changing it clears the set-id bits of the mode.
    const struct stat& was = target.file;
    if (ok && target.exists && (was.st_uid != geteuid() || was.st_gid != getegid()) &&
        fchown(fileno(file), was.st_uid, was.st_gid) != 0)
        (void)fchown(fileno(file), static_cast<uid_t>(-1), was.st_gid);
    const mode_t mode = target.exists ? was.st_mode & 07777 : newFileMode();
    if (ok && fchmod(fileno(file), mode) != 0) {
        ok = false;
        reason = systemReason("cannot set permissions");
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = systemReason("write failed");
    }
    return ok;
}

}  // namespace

// The temporary file beside path's target, written by encode and left pending.
bool prepareOutput(const std::string& path, const std::function<bool(FILE*, std::string&)>& encode,
                   PendingPng& pending, std::string& error) {
    if (path.empty()) return fail(error, path, "no file name");
    Target target;
    std::string reason;
    if (!findTarget(path, target, reason)) {
        if (target.folder >= 0) close(target.folder);
        return fail(error, path, reason);
    }
    std::string temporary;
    const int fd = createTemporary(target.folder, temporary);
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (file == nullptr) reason = systemReason("cannot create a temporary file beside it");
    if (file == nullptr && fd >= 0) close(fd);
    if (file == nullptr || !writeAndClose(file, encode, target, reason)) {
        if (fd >= 0) unlinkat(target.folder, temporary.c_str(), 0);
        close(target.folder);
        return fail(error, path, reason);
    }
    pending.path_ = path;
    pending.folder_ = target.folder;
    pending.name_ = target.name;
    pending.temporary_ = temporary;
    pending.replaces_ = target.exists;
    return true;
}

std::string outputLinkRefused(const std::string& path) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || link.st_uid == geteuid())
        return "";
    // The link's own folder: the path without its last part (and trailing slashes).
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    struct stat shared {};
    if (stat(folder.c_str(), &shared) != 0) return "";
    if ((shared.st_mode & S_ISVTX) != 0 && (shared.st_mode & S_IWOTH) != 0)
        return "a symbolic link of another user in a folder everybody may write";
    return "";
}

bool checkPngDestination(const std::string& path, PngDestination& destination, std::string& error) {
    Target target;
    std::string reason;
    const bool ok = findTarget(path, target, reason);
    if (target.folder >= 0) close(target.folder);
    if (!ok) return fail(error, path, reason);
    destination.exists = target.exists;
    destination.device = target.exists ? target.file.st_dev : 0;
    destination.inode = target.exists ? target.file.st_ino : 0;
    return true;
}

bool preparePng(const std::string& path, const uint16_t* pixels, int32_t width, int32_t height,
                PendingPng& pending, std::string& error) {
    pending.discard();
    if (pixels == nullptr || width <= 0 || height <= 0) return fail(error, path, "empty picture");
    const std::vector<uint8_t> rgb =
        toRgb(pixels, static_cast<size_t>(width) * static_cast<size_t>(height));
    return prepareOutput(
        path,
        [&](FILE* file, std::string& reason) {
            return encodePng(file, rgb, width, height, reason);
        },
        pending, error);
}

bool prepareTextFile(const std::string& path, std::string_view text, PendingPng& pending,
                     std::string& error) {
    pending.discard();
    return prepareOutput(
        path,
        [&](FILE* file, std::string& reason) {
            if (std::fwrite(text.data(), 1, text.size(), file) == text.size()) return true;
            reason = systemReason("write failed");
            return false;
        },
        pending, error);
}

// ---- commit ----
bool PendingPng::commit(std::string& error) {
    if (temporary_.empty()) return fail(error, path_, "no picture was written");
    // A file that was not there must not be replaced by surprise: whatever appeared at the
    // name meanwhile (a device node, a FIFO) is left alone.
    int renamed = renameat2(folder_, temporary_.c_str(), folder_, name_.c_str(),
                            replaces_ ? 0 : RENAME_NOREPLACE);
    if (renamed != 0 && errno == EINVAL && !replaces_)  // a file system without the flag
        renamed = renameat(folder_, temporary_.c_str(), folder_, name_.c_str());
    if (renamed != 0) {
        const std::string reason = errno == EEXIST ? "something appeared there meanwhile"
                                                   : systemReason("cannot replace it");
        discard();
        return fail(error, path_, reason);
    }
    temporary_.clear();
    discard();
    return true;
}

void PendingPng::discard() {
    if (!temporary_.empty()) unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    if (folder_ >= 0) close(folder_);
    folder_ = -1;
}

bool writeNewPngFile(const std::string& path, const uint16_t* pixels, int32_t width, int32_t height,
                     std::string& error) {
    if (pixels == nullptr || width <= 0 || height <= 0) return fail(error, path, "empty picture");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (file == nullptr) {
        const std::string reason = systemReason("cannot create it");
        if (fd >= 0) close(fd);
        if (fd >= 0) unlink(path.c_str());
        return fail(error, path, reason);
    }
    std::string reason;
    const std::vector<uint8_t> rgb =
        toRgb(pixels, static_cast<size_t>(width) * static_cast<size_t>(height));
    const auto encode = [&](FILE* out, std::string& why) {
        return encodePng(out, rgb, width, height, why);
    };
    if (!writeAndClose(file, encode, Target{}, reason, false)) {
        unlink(path.c_str());
        return fail(error, path, reason);
    }
    return true;
}

bool writePngFile(const std::string& path, const uint16_t* pixels, int32_t width, int32_t height,
                  std::string& error) {
    PendingPng pending;
    return preparePng(path, pixels, width, height, pending, error) && pending.commit(error);
}

}  // namespace veldra

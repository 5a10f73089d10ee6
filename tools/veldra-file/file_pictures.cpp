// Sections: names: the frame files and the folders' entries; prepare; frames and picture;
// commit and discard.
#include "tools/veldra-file/file_pictures.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace veldra {
namespace {

// ---- names ----
std::string frameName(int64_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(number));
    return name;
}

// The number of a frame file's name as frameName makes it; 0 for any other name.
int64_t frameNumber(const char* name) {
    if (std::strncmp(name, "frame-", 6) != 0) return 0;
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(name + 6, &end, 10);
    if (errno != 0 || number <= 0 || std::strcmp(end, ".png") != 0) return 0;
    return frameName(number) == name ? number : 0;
}

// Calls each(name) for every entry of the open folder but "." and "..".
void forEachEntry(int folder, const std::function<void(const char*)>& each) {
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing < 0 ? nullptr : fdopendir(listing);
    if (entries == nullptr) {
        if (listing >= 0) close(listing);
        return;
    }
    while (const dirent* e = readdir(entries)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) each(e->d_name);
    }
    closedir(entries);
}

std::string systemReason() {
    return std::strerror(errno);
}

}  // namespace

// ---- prepare ----
bool RunPictures::prepare(const InputIdentity* input, std::string& error, int& status) {
    status = 1;
    error.clear();
    if (!pngPath_.empty()) {
        PngDestination destination;
        if (!checkPngDestination(pngPath_, destination, error)) return false;
        if (input != nullptr && destination.exists && destination.device == input->device &&
            destination.inode == input->inode) {
            error = pngPath_ + ": --png would overwrite the sound file being tuned";
            status = 2;
            return false;
        }
    }
    if (framesDir_.empty()) return true;
    if (mkdir(framesDir_.c_str(), 0777) == 0) {
        madeFolder_ = true;
    } else if (errno != EEXIST) {
        error = framesDir_ + ": cannot make the frames folder (" + systemReason() + ")";
        return false;
    }
    folder_ = open(framesDir_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) {
        error =
            framesDir_ + ": cannot use it as the frames folder (" +
            (errno == ENOTDIR ? std::string("a file of that name is in the way") : systemReason()) +
            ")";
        return false;
    }
    // The names this run will replace or remove must be files, and none the input.
    forEachEntry(folder_, [&](const char* name) {
        struct stat st {};
        if (!error.empty() || frameNumber(name) == 0 ||
            fstatat(folder_, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return;
        const std::string path = framesDir_ + "/" + name;
        if (S_ISDIR(st.st_mode)) {
            error = path + ": a folder is in the way of the frames";
        } else if (input != nullptr && st.st_dev == input->device && st.st_ino == input->inode) {
            error = path + ": --frames would overwrite the sound file being tuned";
            status = 2;
        }
    });
    if (!error.empty()) return false;
    std::string staging = framesDir_ + "/.veldra-XXXXXX";
    if (mkdtemp(staging.data()) == nullptr) {
        error = framesDir_ + ": cannot write the frames there (" + systemReason() + ")";
        return false;
    }
    staging_ = staging.substr(staging.size() - 14);
    return true;
}

// ---- frames and picture ----
bool RunPictures::writeFrame(const HeadlessScreen& screen, std::string& error) {
    if (framesDir_.empty()) return true;
    const std::string path = framesDir_ + "/" + staging_ + "/" + frameName(frames_ + 1);
    if (!writeNewPngFile(path, screen.snapshot().data(), screenWidth, screenHeight, error)) {
        // The message names the frame as the folder will hold it.
        error = framesDir_ + "/" + frameName(frames_ + 1) + error.substr(path.size());
        return false;
    }
    ++frames_;
    return true;
}

void RunPictures::hold(const HeadlessScreen& screen) {
    held_ = screen.snapshot();
}

bool RunPictures::finish(const HeadlessScreen& screen, std::string& error) {
    if (pngPath_.empty()) return true;
    const std::vector<uint16_t> now = held_.empty() ? screen.snapshot() : held_;
    return preparePng(pngPath_, now.data(), screenWidth, screenHeight, picture_, error);
}

// ---- commit and discard ----
bool RunPictures::commit(std::string& error) {
    // The picture first: of the two, only its rename can meet something new in its way.
    if (picture_.pending() && !picture_.commit(error)) return false;
    if (!staging_.empty()) {
        // The frames were written without a sync each: one for them all before they show.
        const int staged = openat(folder_, staging_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (staged < 0 || syncfs(staged) != 0) {
            error = framesDir_ + ": cannot write the frames there (" + systemReason() + ")";
            if (staged >= 0) close(staged);
            return false;
        }
        for (int64_t n = 1; n <= frames_; ++n) {
            const std::string name = frameName(n);
            if (renameat(staged, name.c_str(), folder_, name.c_str()) != 0) {
                error =
                    framesDir_ + "/" + name + ": cannot be put in place (" + systemReason() + ")";
                close(staged);
                return false;
            }
        }
        close(staged);
        forEachEntry(folder_, [&](const char* name) {
            if (frameNumber(name) > frames_) unlinkat(folder_, name, 0);
        });
        unlinkat(folder_, staging_.c_str(), AT_REMOVEDIR);
        staging_.clear();
        madeFolder_ = false;
    }
    return true;
}

void RunPictures::discard() {
    picture_.discard();
    if (!staging_.empty()) {
        const int staged = openat(folder_, staging_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (staged >= 0) {
            forEachEntry(staged, [&](const char* name) { unlinkat(staged, name, 0); });
            close(staged);
        }
        unlinkat(folder_, staging_.c_str(), AT_REMOVEDIR);
        staging_.clear();
    }
    if (madeFolder_) rmdir(framesDir_.c_str());
    madeFolder_ = false;
    if (folder_ >= 0) close(folder_);
    folder_ = -1;
    frames_ = 0;
}

}  // namespace veldra

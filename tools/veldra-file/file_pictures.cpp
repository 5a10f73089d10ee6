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
#include <utility>
#include <vector>

#include "tools/veldra-file/file_signals.h"

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

// Renames name from one folder to the same name in another, where nothing may be: false
// with errno EEXIST when something is there.
bool moveToFreeName(int from, int to, const std::string& name) {
    if (renameat2(from, name.c_str(), to, name.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL) return false;
    // A file system without the flag: the name was freed a moment ago, by the commit.
    return renameat(from, name.c_str(), to, name.c_str()) == 0;
}

std::string systemReason() {
    return std::strerror(errno);
}

int32_t pictureRows(const std::vector<uint16_t>& picture) {
    return static_cast<int32_t>(picture.size() / screenWidth);
}

}  // namespace

// ---- prepare ----
bool RunPictures::prepare(const InputIdentity* input, std::string& error, int& status) {
    status = 1;
    error.clear();
    for (const auto& [path, option] : {std::pair(pngPath_, "--png"), {reportPath_, "--report"}}) {
        if (path.empty()) continue;
        PngDestination destination;
        if (!checkPngDestination(path, destination, error)) return false;
        if (input != nullptr && destination.exists && destination.device == input->device &&
            destination.inode == input->inode) {
            error = path + ": " + option + " would overwrite the sound file being tuned";
            status = 2;
            return false;
        }
    }
    if (framesDir_.empty()) return true;
    if (const std::string refused = outputLinkRefused(framesDir_); !refused.empty()) {
        error = framesDir_ + ": cannot use it as the frames folder (" + refused + ")";
        return false;
    }
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
bool RunPictures::writeFrame(const std::vector<uint16_t>& picture, std::string& error) {
    if (framesDir_.empty()) return true;
    const std::string path = framesDir_ + "/" + staging_ + "/" + frameName(frames_ + 1);
    if (!writeNewPngFile(path, picture.data(), screenWidth, pictureRows(picture), error)) {
        // The message names the frame as the folder will hold it.
        error = framesDir_ + "/" + frameName(frames_ + 1) + error.substr(path.size());
        return false;
    }
    ++frames_;
    return true;
}

void RunPictures::hold(std::vector<uint16_t> picture) {
    held_ = std::move(picture);
}

bool RunPictures::finish(const std::vector<uint16_t>& now, std::string& error) {
    if (pngPath_.empty()) return true;
    const std::vector<uint16_t>& picture = held_.empty() ? now : held_;
    return preparePng(pngPath_, picture.data(), screenWidth, pictureRows(picture), picture_, error);
}

bool RunPictures::finishReport(const std::string& page, std::string& error) {
    return reportPath_.empty() || prepareTextFile(reportPath_, page, report_, error);
}

// ---- commit and discard ----
// The frames go into place as one step that can be undone: every earlier frame file is
// first moved aside into the private folder (a name that cannot be moved, another user's
// file in a sticky folder, stops the commit before anything has changed), then the new
// frames are moved in; the picture comes last. A failure, or an ending signal, before the
// picture is in place puts everything back as it was.
bool RunPictures::commit(std::string& error) {
    const auto stopped = [&] {
        if (endingSignal() == 0) return false;
        error.clear();  // a signal ends the run quietly
        return true;
    };
    int staged = -1;
    if (!staging_.empty()) {
        // The frames were written without a sync each: one for them all before they show.
        staged = openat(folder_, staging_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (staged < 0 || syncfs(staged) != 0) {
            error = framesDir_ + ": cannot write the frames there (" + systemReason() + ")";
            if (staged >= 0) close(staged);
            return false;
        }
    }
    std::vector<std::string> asideNames;  // earlier frames moved into the private folder
    int64_t movedIn = 0;                  // this run's frames 1..movedIn in place
    bool ok = true;
    if (staged >= 0) {
        std::vector<std::string> earlier;
        forEachEntry(folder_, [&](const char* name) {
            if (frameNumber(name) > 0) earlier.emplace_back(name);
        });
        for (const std::string& name : earlier) {
            if (stopped()) {
                ok = false;
                break;
            }
            if (renameat(folder_, name.c_str(), staged, ("old-" + name).c_str()) != 0) {
                error = framesDir_ + "/" + name + ": cannot be replaced (" + systemReason() + ")";
                ok = false;
                break;
            }
            asideNames.push_back(name);
        }
        for (int64_t n = 1; ok && n <= frames_; ++n) {
            const std::string name = frameName(n);
            if (stopped()) {
                ok = false;
            } else if (!moveToFreeName(staged, folder_, name)) {
                error = framesDir_ + "/" + name + ": cannot be put in place (" +
                        (errno == EEXIST ? std::string("something appeared there meanwhile")
                                         : systemReason()) +
                        ")";
                ok = false;
            } else {
                movedIn = n;
            }
        }
    }
    // The last step: from here on a signal is held back, and once the picture is in place
    // the run has succeeded; one that comes later is too late to undo it.
    holdEndingSignals(true);
    if (ok && stopped()) ok = false;
    if (ok && report_.pending()) ok = report_.commit(error);
    if (ok && picture_.pending()) ok = picture_.commit(error);
    if (!ok) {
        // Back as it was: this run's frames into the private folder (discard removes them),
        // the earlier ones to their names.
        for (int64_t n = movedIn; n >= 1; --n)
            renameat(folder_, frameName(n).c_str(), staged, frameName(n).c_str());
        bool restored = true;
        for (const std::string& name : asideNames)
            restored &= renameat(staged, ("old-" + name).c_str(), folder_, name.c_str()) == 0;
        if (staged >= 0) close(staged);
        if (!restored) {
            // Never delete what could not be put back: the private folder stays with it.
            if (!error.empty())
                error += "; the earlier frames are kept in " + framesDir_ + "/" + staging_;
            staging_.clear();
            madeFolder_ = false;
        }
        return false;
    }
    if (staged >= 0) {
        for (const std::string& name : asideNames)
            unlinkat(staged, ("old-" + name).c_str(), 0);
        close(staged);
        unlinkat(folder_, staging_.c_str(), AT_REMOVEDIR);
        staging_.clear();
        madeFolder_ = false;
    }
    return true;
}

void RunPictures::discard() {
    picture_.discard();
    report_.discard();
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

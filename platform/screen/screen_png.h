// Writing a screen picture to a PNG file (libpng), all or nothing, and only where a
// picture may go.
//
// The picture is width x height RGB565 pixels, row-major; it is written as 8-bit RGB,
// each channel widened by repeating its top bits (31 -> 255, 63 -> 255).
//
// Where: a path that names nothing gets a new file (mode from the umask). A regular file
// the user may write is replaced, keeping its mode (and its owner and group, as far as the
// user may set them). A symbolic link is followed as the kernel follows it (refusing what
// its protections in sticky folders refuse) and its target replaced; the link stays. Any
// other path is refused and left untouched: a folder, a device, a FIFO, a socket, a link
// to nothing, a file the user may not write.
//
// How: the picture goes to a temporary file in the target's folder (".veldra-" and six
// characters, so that every name that fits the folder fits), is flushed to disk and
// renamed over the target; on any failure the temporary file is removed and the target is
// left as it was. A caller that puts several files in place together takes the two steps
// itself: preparePng writes the temporary file, PendingPng::commit renames it.
//
// A symbolic link in a sticky folder that everybody may write (/tmp), owned by another user,
// is refused whatever the kernel's protected_symlinks says (some systems turn it off): it
// is how another user aims a program's output at a file of this one's. outputLinkRefused
// is that check alone, for every output the programs open (pictures, folders of them).
//
// Failure: false with error set to one line, "<path>: cannot be written (<reason>)".
// Thread: any; touches nothing but the files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace veldra {

bool writePngFile(const std::string& path, const uint16_t* pixels, int32_t width, int32_t height,
                  std::string& error);

// A new picture at path, where nothing may be yet (O_EXCL, no link followed), for a folder
// of the caller's own that it puts in place as a whole: written straight, with no temporary
// file and no sync of its own (the caller syncs once); removed again when the write fails.
bool writeNewPngFile(const std::string& path, const uint16_t* pixels, int32_t width, int32_t height,
                     std::string& error);

// The reason path may not be opened as an output, or "" when it may: its last part is a
// symbolic link owned by another user in a sticky folder that everybody may write.
std::string outputLinkRefused(const std::string& path);

// What is at a destination that writePngFile would accept.
struct PngDestination {
    bool exists = false;  // a regular file is there (the link's target, for a link)
    uint64_t device = 0;  // its identity, when it exists
    uint64_t inode = 0;
};

// The checks writePngFile makes before writing, alone: false with error set when it would
// refuse the path.
bool checkPngDestination(const std::string& path, PngDestination& destination, std::string& error);

// A picture written beside its destination and not yet in place. Dropping it unused
// removes the temporary file.
class PendingPng {
  public:
    PendingPng() = default;
    ~PendingPng() { discard(); }
    PendingPng(const PendingPng&) = delete;
    PendingPng& operator=(const PendingPng&) = delete;

    bool pending() const { return !temporary_.empty(); }
    // Renames the picture over its destination; false with error set (the temporary file
    // removed, the destination as it was).
    bool commit(std::string& error);
    void discard();

  private:
    friend bool prepareOutput(const std::string&, const std::function<bool(FILE*, std::string&)>&,
                              PendingPng&, std::string&);
    std::string path_;       // the destination as given, for messages
    int folder_ = -1;        // the target's folder, open while pending
    std::string name_;       // the target's name in it
    std::string temporary_;  // the written picture's name in it; empty when none
    bool replaces_ = false;  // a file is there to be replaced
};

bool preparePng(const std::string& path, const uint16_t* pixels, int32_t width, int32_t height,
                PendingPng& pending, std::string& error);

// The same for a text file (a page): the same destinations, written the same way.
bool prepareTextFile(const std::string& path, std::string_view text, PendingPng& pending,
                     std::string& error);

}  // namespace veldra

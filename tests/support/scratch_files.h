// Files for tests: the reference recordings in tests/data, a private scratch folder that
// goes away with its contents, whole files written and read, and sound files written
// through libsndfile.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veldra {

// Path of a file in tests/data.
std::string testDataPath(const std::string& name);

// The reference pairs in tests/data: recording NAME.wav and its expected veldra-file
// --csv output NAME.MODES.csv, MODES being "startup" or mode names joined with '-'.
struct ReferenceCase {
    std::string recording;  // e.g. "viola_C3"
    std::string modes;      // e.g. "guitar"
};
std::vector<ReferenceCase> referenceCases();

// A fresh folder under /tmp, removed with everything in it when the object goes.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& root() const { return root_; }
    std::string path(const std::string& name) const { return root_ + "/" + name; }

  private:
    std::string root_;
};

// The whole file as bytes ("" when it cannot be read), and written whole.
std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, std::string_view bytes);

// Interleaved frames of channels, written with libsndfile in the given SF_FORMAT_*;
// values beyond full scale are kept in float files. Fails the calling test on error.
void writeSoundFile(const std::string& path, int format, int rate, int channels,
                    const std::vector<float>& frames);

}  // namespace veldra

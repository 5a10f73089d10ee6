#include "tests/support/scratch_files.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace veldra {

std::string testDataPath(const std::string& name) {
    return std::string(VELDRA_TESTDATA_DIR) + "/" + name;
}

std::vector<ReferenceCase> referenceCases() {
    std::vector<ReferenceCase> cases;
    for (const auto& entry : std::filesystem::directory_iterator(VELDRA_TESTDATA_DIR)) {
        const std::string stem = entry.path().stem().string();  // NAME.MODES
        const size_t dot = stem.rfind('.');
        if (entry.path().extension() == ".csv" && dot != std::string::npos)
            cases.push_back({stem.substr(0, dot), stem.substr(dot + 1)});
    }
    std::sort(cases.begin(), cases.end(), [](const ReferenceCase& a, const ReferenceCase& b) {
        return a.recording + a.modes < b.recording + b.modes;
    });
    return cases;
}

ScratchFolder::ScratchFolder() {
    char pattern[] = "/tmp/veldra-test-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) ADD_FAILURE() << "no scratch folder under /tmp";
    root_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::filesystem::remove_all(root_);
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeWholeFile(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writeSoundFile(const std::string& path, int format, int rate, int channels,
                    const std::vector<float>& frames) {
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_FALSE);
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(frames.size() / channels));
    sf_close(file);
}

}  // namespace veldra

#include "tests/support/recordings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace veldra::testing {
namespace {

uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

std::string dataPath(const std::string& name) { return std::string(VELDRA_TESTDATA_DIR) + "/" + name; }

std::vector<int16_t> readMonoWav16(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        ADD_FAILURE() << path << ": not a RIFF/WAVE file";
        return samples;
    }
    bool formatOk = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = le32(&bytes[at + 4]);
        const unsigned char* body = &bytes[at + 8];
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && size >= 16) {
            formatOk = le16(body) == 1 && le16(body + 2) == 1 && le16(body + 14) == 16;
        } else if (std::memcmp(&bytes[at], "data", 4) == 0) {
            if (!formatOk) break;
            const size_t n = std::min<size_t>(size, bytes.size() - at - 8) / 2;
            samples.resize(n);
            for (size_t i = 0; i < n; ++i) samples[i] = int16_t(le16(body + 2 * i));
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << path << ": not 16-bit PCM mono";
    return samples;
}

std::vector<std::vector<std::string>> readCsv(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::stringstream ss(line);
        for (std::string field; std::getline(ss, field, ',');) fields.push_back(field);
        rows.push_back(fields);
    }
    if (rows.empty()) ADD_FAILURE() << path << ": missing or empty";
    return rows;
}

std::vector<ReferenceCase> referenceCases() {
    std::vector<ReferenceCase> cases;
    for (const auto& entry : std::filesystem::directory_iterator(VELDRA_TESTDATA_DIR)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".csv" || name == "notes.csv") continue;
        const std::string stem = entry.path().stem().string();  // NAME.MODES
        const size_t dot = stem.rfind('.');
        cases.push_back({stem.substr(0, dot), stem.substr(dot + 1)});
    }
    std::sort(cases.begin(), cases.end(), [](const ReferenceCase& a, const ReferenceCase& b) {
        return a.recording + a.modes < b.recording + b.modes;
    });
    return cases;
}

}  // namespace veldra::testing

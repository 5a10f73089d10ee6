// Test support: the reference recordings in tests/data and their expected CSV output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veldra::testing {

// Path of a file in tests/data.
std::string dataPath(const std::string& name);

// Samples of a 16-bit PCM mono WAV file; fails the calling test on anything else.
std::vector<int16_t> readMonoWav16(const std::string& path);

// Lines of a CSV file split at commas, header included.
std::vector<std::vector<std::string>> readCsv(const std::string& path);

// The reference pairs: recording name and mode list ("startup", "guitar", ...).
struct ReferenceCase {
    std::string recording;  // e.g. "viola_C3"
    std::string modes;      // "startup" or modes joined with '-'
};
std::vector<ReferenceCase> referenceCases();

}  // namespace veldra::testing

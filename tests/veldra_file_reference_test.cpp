// The whole tuner over the reference recordings: veldra-file --csv must print the
// expected lines exactly, in the start-up state and after each file's mode commands.
// Any difference in the analysis, the dial or the refresh pacing shows up here, and so
// does any state one run leaves to the next, since the cases run in one process. A
// differing line names its differing columns: period, recent_period and recent_count
// come from the analysis alone, frequency_hz, stable and needle from the pipeline and
// the dial.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch_files.h"
#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_tuner.h"

namespace veldra {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

// The columns in which two CSV lines differ, by their names in the header.
std::string differingColumns(const std::string& header, const std::string& got,
                             const std::string& want) {
    const auto names = split(header, ','), a = split(got, ','), b = split(want, ',');
    std::string differing;
    for (size_t i = 0; i < names.size(); ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i]) differing += " " + names[i];
    return differing;
}

class VeldraFileReferenceTest : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(VeldraFileReferenceTest, CsvMatchesLineForLine) {
    const ReferenceCase& c = GetParam();
    std::vector<std::string> args = {"veldra-file", "--csv"};
    for (const std::string& mode : split(c.modes, '-'))
        if (mode != "startup") args.insert(args.end(), {"--mode", mode});
    args.push_back(testDataPath(c.recording + ".wav"));
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    FileOptions options;
    std::string error;
    ASSERT_TRUE(parseFileOptions(static_cast<int>(argv.size()), argv.data(), options, error)) << error;

    std::ostringstream out, err;
    ASSERT_EQ(runFileTuner(options, out, err), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    const auto got = split(out.str(), '\n');
    const auto want = split(readWholeFile(testDataPath(c.recording + "." + c.modes + ".csv")), '\n');
    ASSERT_GT(want.size(), 10u);
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << "line " << i + 1 << ", differing:" << differingColumns(want[0], got[i], want[i]);
    EXPECT_EQ(got.size(), want.size());
}

// The same file from memory (the fuzzer's road) gives the same lines, up to the limit;
// damaged bytes give the one-line error that names what the caller called them.
TEST(VeldraFileFromMemoryTest, SameLinesAsFromThePathUpToTheLimit) {
    const std::string bytes = readWholeFile(testDataPath("elec_guitar_six_strings.wav"));
    const auto want = split(readWholeFile(testDataPath("elec_guitar_six_strings.guitar.csv")), '\n');
    FileOptions options;
    options.input = "take";
    options.csv = true;
    options.modes = {InstrumentKind::Guitar};

    std::ostringstream all, err;
    ASSERT_EQ(runFileTunerOnBytes(bytes.data(), bytes.size(), 1e6, options, all, err), 0) << err.str();
    EXPECT_EQ(split(all.str(), '\n'), want);
    // 2 s end after block 200 (44000 samples): refresh points up to (44000 - 1) / 2205 = 19.
    std::ostringstream cut;
    ASSERT_EQ(runFileTunerOnBytes(bytes.data(), bytes.size(), 2.0, options, cut, err), 0);
    EXPECT_EQ(split(cut.str(), '\n'), std::vector<std::string>(want.begin(), want.begin() + 1 + 19));

    std::ostringstream none;
    EXPECT_EQ(runFileTunerOnBytes(bytes.data(), 30, 1e6, options, none, err), 1);
    const std::string message = err.str();
    EXPECT_EQ(message.rfind("veldra-file: take: truncated", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_EQ(none.str(), "");
}

INSTANTIATE_TEST_SUITE_P(Recordings, VeldraFileReferenceTest, ::testing::ValuesIn(referenceCases()),
                         [](const auto& info) {
                             std::string name = info.param.recording + "_" + info.param.modes;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace veldra

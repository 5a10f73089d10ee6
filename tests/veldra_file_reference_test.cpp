// The whole tuner over the reference recordings: veldra-file --csv must print the
// expected lines exactly, in the start-up state and after each file's mode commands.
// Any difference in the analysis, the dial or the refresh pacing shows up here, and so
// does any state one run leaves to the next, since the cases run in one process.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/recordings.h"
#include "tools/veldra-file/file_options.h"
#include "tools/veldra-file/file_tuner.h"

namespace veldra {
namespace {

std::vector<std::string> linesOf(std::istream& in) {
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The command line for one case: the file, --csv, and --mode for each mode of the case.
FileOptions optionsFor(const testing::ReferenceCase& c) {
    std::vector<std::string> args = {"veldra-file", "--csv"};
    if (c.modes != "startup") {
        std::stringstream list(c.modes);
        for (std::string mode; std::getline(list, mode, '-');) {
            args.push_back("--mode");
            args.push_back(mode);
        }
    }
    args.push_back(testing::dataPath(c.recording + ".wav"));
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    FileOptions options;
    std::string error;
    EXPECT_TRUE(parseFileOptions(static_cast<int>(argv.size()), argv.data(), options, error)) << error;
    return options;
}

class VeldraFileReferenceTest : public ::testing::TestWithParam<testing::ReferenceCase> {};

TEST_P(VeldraFileReferenceTest, CsvMatchesLineForLine) {
    const testing::ReferenceCase& c = GetParam();
    std::ostringstream out, err;
    ASSERT_EQ(runFileTuner(optionsFor(c), out, err), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    std::istringstream produced(out.str());
    std::ifstream expectedFile(testing::dataPath(c.recording + "." + c.modes + ".csv"));
    const std::vector<std::string> got = linesOf(produced), want = linesOf(expectedFile);
    ASSERT_GT(want.size(), 10u);
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << "line " << i + 1;
    EXPECT_EQ(got.size(), want.size());
}

INSTANTIATE_TEST_SUITE_P(Recordings, VeldraFileReferenceTest, ::testing::ValuesIn(testing::referenceCases()),
                         [](const auto& info) {
                             std::string name = info.param.recording + "_" + info.param.modes;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace veldra

// The desktop's settings store (where, round trip, damaged file, read-only folder, two
// copies saving at once) and the choices the program reads from it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/remembered_choices.h"
#include "platform/desktop/settings_store.h"
#include "tests/support/scratch_files.h"

namespace veldra {
namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetSettingsStore();
        ::setenv("XDG_CONFIG_HOME", folder.path("config").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        resetSettingsStore();
    }
    std::string file() const { return folder.path("config/veldra/settings"); }
    // Names in the settings folder other than the file itself.
    std::vector<std::string> othersInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path("config/veldra")))
            if (entry.path().filename() != "settings") names.push_back(entry.path().filename());
        return names;
    }

    ScratchFolder folder;
};

// Under XDG_CONFIG_HOME (not a relative one), else HOME/.config; folders made on the first
// save; what was saved, unknown names among it, read back.
TEST_F(SettingsStoreTest, SavesWhereTheDesktopSaysAndReadsBackWhatItSaved) {
    EXPECT_EQ(settingsPath(), file());
    EXPECT_TRUE(loadSettings().empty());  // no file yet: nothing, and nothing said
    const SettingsValues values{{"mode", "violin"}, {"from.a.newer.program", "x = y"}};
    ASSERT_TRUE(saveSettings(values));
    EXPECT_EQ(readWholeFile(file()),
              "# veldra settings 1\nfrom.a.newer.program=x = y\nmode=violin\n");
    EXPECT_EQ(loadSettings(), values);
    EXPECT_TRUE(othersInFolder().empty());  // no private file left behind

    const std::string home = folder.path("home");
    const char* oldHome = std::getenv("HOME");
    const std::string kept = oldHome != nullptr ? oldHome : "";
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    ::setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(settingsPath(), home + "/.config/veldra/settings");
    ::setenv("HOME", kept.c_str(), 1);
}

// A damaged file is renamed beside itself, stderr names both in one line, the run starts
// from no values, and the next save writes a good file.
TEST_F(SettingsStoreTest, ADamagedFileIsKeptAsideAndSaidInOneLine) {
    for (const std::string& damaged :
         {std::string("# veldra settings 1\nmode violin\n"),
          std::string("# veldra settings 1\nmode=vio\0lin\n", 32), std::string("")}) {
        SCOPED_TRACE(damaged);
        std::filesystem::remove_all(folder.path("config"));
        std::filesystem::create_directories(folder.path("config/veldra"));
        writeWholeFile(file(), damaged);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(loadSettings().empty());
        const std::string said = testing::internal::GetCapturedStderr();
        const std::vector<std::string> aside = othersInFolder();
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(aside[0].rfind("settings.damaged-", 0), 0u) << aside[0];
        EXPECT_EQ(readWholeFile(folder.path("config/veldra/" + aside[0])), damaged);
        EXPECT_FALSE(std::filesystem::exists(file()));
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(file() + " is damaged"), std::string::npos) << said;
        EXPECT_NE(said.find("kept as " + folder.path("config/veldra/" + aside[0])),
                  std::string::npos)
            << said;
        ASSERT_TRUE(saveSettings({{"mode", "cello"}}));
        EXPECT_EQ(loadSettings(), (SettingsValues{{"mode", "cello"}}));
    }
}

// A folder it may not write: the save fails, said once in one line, the file untouched.
// (In a child that is not root, who may write anywhere.)
TEST_F(SettingsStoreTest, AReadOnlyFolderFailsTheSaveAndSaysSoOnce) {
    ASSERT_TRUE(saveSettings({{"mode", "violin"}}));
    ::chmod(folder.root().c_str(), 0755);
    ::chmod(folder.path("config").c_str(), 0755);
    ::chmod(folder.path("config/veldra").c_str(), 0555);
    ::chmod(file().c_str(), 0644);
    const std::string said = folder.path("said.txt");
    const pid_t child = ::fork();
    if (child == 0) {
        if (!std::freopen(said.c_str(), "w", stderr)) ::_exit(4);
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        const bool first = saveSettings({{"mode", "cello"}});
        const bool second = saveSettings({{"mode", "erhu"}});
        std::fflush(stderr);
        ::_exit(first || second ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(folder.path("config/veldra").c_str(), 0700);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a save that cannot be kept claimed success";
    EXPECT_EQ(readWholeFile(said), "veldra: cannot keep the settings in " + file() +
                                       " (Permission denied); the choices hold for this run "
                                       "only\n");
    EXPECT_EQ(loadSettings(), (SettingsValues{{"mode", "violin"}}));
    EXPECT_TRUE(othersInFolder().empty());
}

// Two copies saving as fast as they can while a third reads: every read finds one whole
// file of one of the two, and no private file is left behind.
TEST_F(SettingsStoreTest, TwoCopiesSavingAtOnceLeaveAWholeFileEachTime) {
    const std::string padding(3000, 'p');  // several writes' worth, were a file written in place
    ASSERT_TRUE(saveSettings({{"writer", "none"}, {"pad", padding}}));
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        if (writers[w] == 0) {
            const SettingsValues values{{"writer", w == 0 ? "A" : "B"},
                                        {"pad", std::string(3000, w == 0 ? 'a' : 'b')}};
            for (int i = 0; i < 100; ++i)
                if (!saveSettings(values)) ::_exit(1);
            ::_exit(0);
        }
    }
    int reads = 0, torn = 0;
    int exits[2] = {-1, -1};
    for (;;) {
        for (int w = 0; w < 2; ++w) {
            int status = 0;
            if (exits[w] < 0 && ::waitpid(writers[w], &status, WNOHANG) == writers[w])
                exits[w] = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        const bool done = exits[0] >= 0 && exits[1] >= 0;
        SettingsValues got;
        std::string why;
        const bool whole = parseSettings(readWholeFile(file()), got, why);
        ++reads;
        const std::string& writer = got["writer"];
        const char mark = writer == "A" ? 'a' : writer == "B" ? 'b' : 'p';
        if (!whole || got["pad"] != std::string(3000, mark)) ++torn;
        if (done) break;
    }
    EXPECT_EQ(exits[0], 0) << "a save failed";
    EXPECT_EQ(exits[1], 0) << "a save failed";
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    const SettingsValues last = loadSettings();
    EXPECT_TRUE(last.at("writer") == "A" || last.at("writer") == "B");
    EXPECT_TRUE(othersInFolder().empty());
}

// Known names are read, a value it cannot use keeps the default, others' names are kept.
TEST(RememberedChoicesTest, KnownNamesAreReadOthersKeptAndBadValuesLeaveTheDefault) {
    const SettingsValues file{{"mode", "Violin"}, {"tuning", "viola"},    {"a4", "442"},
                              {"names", "flats"}, {"strings", "highest"}, {"notice", "skip"},
                              {"meter", "wide"},  {"zoom", "2"}};
    const RememberedChoices read = choicesFromSettings(file);
    EXPECT_EQ(read.tuner.mode, InstrumentKind::Violin);
    EXPECT_EQ(read.tuner.tuning, findTuning(InstrumentKind::Violin, "viola"));
    EXPECT_GT(read.tuner.tuning, 0);
    EXPECT_EQ(read.tuner.referenceA4, 442);
    EXPECT_TRUE(read.tuner.flats && read.tuner.numberFromHighest && read.skipNotice);

    const RememberedChoices bad = choicesFromSettings({{"mode", "banjo"},
                                                       {"tuning", "viola"},  // not Guitar's
                                                       {"a4", "500"},
                                                       {"names", "both"},
                                                       {"notice", "yes"}});
    EXPECT_EQ(bad, RememberedChoices{});

    SettingsValues written = file;
    writeChoices({.tuner = {.mode = InstrumentKind::Singing}}, written);
    EXPECT_EQ(written.at("meter"), "wide");
    EXPECT_EQ(written.at("zoom"), "2");
    EXPECT_EQ(choicesFromSettings(written),
              RememberedChoices{.tuner = {.mode = InstrumentKind::Singing}});
    for (int32_t k = 0; k < instrumentKindCount; ++k) {
        const auto kind = static_cast<InstrumentKind>(k);
        for (int32_t t = 0; t < modeEntry(kind)->tuningCount; ++t) {
            const RememberedChoices one{{kind, t, 415 + 3 * k, k % 2 == 0, k % 3 == 0}, t % 2 == 1};
            SettingsValues values;
            writeChoices(one, values);
            EXPECT_EQ(choicesFromSettings(values), one)
                << values["mode"] << " " << values["tuning"];
        }
    }
}

}  // namespace
}  // namespace veldra

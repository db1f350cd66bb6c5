#include "ui/logic/PlayerConfig.h"

#include "base/DiagLog.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct Recorded {
    std::string lines;
    DiagLog log{[this](std::string_view line) { lines += line; }};
};

PlayerSettings InitFrom(const TempDir& dir, const std::string& text) {
    const std::string path = dir.File("config.cfg");
    WriteFileText(path, text);
    return PlayerConfig(path).InitConfig();
}

} // namespace

TEST(PlayerConfigTest, FirstRunCreatesAnEmptyFileAndUsesTheDefaults) {
    TempDir dir;
    const std::string path = dir.File("config.cfg");
    Recorded diag;
    const PlayerSettings settings = PlayerConfig(path, &diag.log).InitConfig();
    EXPECT_EQ(settings, (PlayerSettings{0, 50}));
    ASSERT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(diag.lines, "InitConfig\nBrightness => -200\nVolume => -200\n");
}

TEST(PlayerConfigTest, StoredValuesAreClampedToTheSliders) {
    TempDir dir;
    EXPECT_EQ(InitFrom(dir, "[config]\r\nbrightness=3\r\nvolume=20\r\n"), (PlayerSettings{3, 20}));
    EXPECT_EQ(InitFrom(dir, "[Config]\nBrightness=-9\nVolume=150\n"), (PlayerSettings{-5, 99}));
    EXPECT_EQ(InitFrom(dir, "[config]\nbrightness=9\nvolume=-1\n"), (PlayerSettings{5, 0}));
}

TEST(PlayerConfigTest, SentinelAndTextValues) {
    TempDir dir;
    // "-200" is taken for a missing key; text reads as 0; only 9 characters are read.
    EXPECT_EQ(InitFrom(dir, "[config]\nbrightness=-200\nvolume=-200\n"), (PlayerSettings{0, 50}));
    EXPECT_EQ(InitFrom(dir, "[config]\nbrightness=bright\nvolume=loud\n"), (PlayerSettings{0, 0}));
    EXPECT_EQ(InitFrom(dir, "[config]\nvolume=0000000070\n"), (PlayerSettings{0, 7}));
    EXPECT_EQ(InitFrom(dir, "[other]\nvolume=10\n"), (PlayerSettings{0, 50}));
}

TEST(PlayerConfigTest, SaveWritesBothKeysAndReadsBack) {
    TempDir dir;
    const std::string path = dir.File("config.cfg");
    WriteFileText(path, "; player\n[config]\nvolume=10\n[other]\nx=1\n");
    Recorded diag;
    const PlayerConfig config(path, &diag.log);
    ASSERT_TRUE(config.SaveConfig({-4, 77}));
    EXPECT_EQ(diag.lines, "SaveConfig\nBrightness => -4\nVolume => 77\n");
    EXPECT_EQ(ReadFileText(path), "; player\n[config]\nvolume=77\nbrightness=-4\n[other]\nx=1\n");
    EXPECT_EQ(config.InitConfig(), (PlayerSettings{-4, 77}));
}

TEST(PlayerConfigTest, UnwritableFileReportsFailure) {
    TempDir dir;
    const PlayerConfig config(dir.File("missing-folder/config.cfg"));
    EXPECT_EQ(config.InitConfig(), (PlayerSettings{0, 50}));
    EXPECT_FALSE(config.SaveConfig({1, 2}));
}

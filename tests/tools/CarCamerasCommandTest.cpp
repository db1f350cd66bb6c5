// tatcard play on a car's recording of six cameras (a TeslaCam folder made by ffmpeg): every
// camera plays, and the line tells each one's pictures; a two-camera recording's line stays as
// it was.
#include "TatcardProgram.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

namespace {

std::map<std::string, long long> Numbers(const std::string& line) {
    std::map<std::string, long long> numbers;
    std::istringstream in(line);
    std::string word;
    while (in >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos)
            numbers[word.substr(0, eq)] = std::atoll(word.c_str() + eq + 1);
    }
    return numbers;
}

} // namespace

TEST(CarCamerasCommand, PlayShowsEveryCameraAndCountsItsPictures) {
    TempDir dir;
    TempDir scratch;
    const std::string clips = dir.File("TeslaCam/SavedClips/2024-03-05_09-10-00/");
    for (const char* camera :
         {"front", "back", "left_repeater", "right_repeater", "left_pillar", "right_pillar"}) {
        ClipSpec spec;
        spec.width = 320;
        spec.height = 240;
        spec.rate = "36";
        spec.audioRate = 0;
        ASSERT_TRUE(MakeClip(clips + "2024-03-05_09-07-02-" + camera + ".mp4", spec));
    }
    const std::string folder = Quoted(dir.Path().string());
    const TatcardRun play =
        RunTatcard("play " + folder + " 2024-03-05_09-07-02 --null-audio --size 320x240", scratch);
    ASSERT_EQ(play.status, 0) << play.err;
    ASSERT_EQ(Lines(play.out), 1) << play.out;
    const auto n = Numbers(play.out);
    EXPECT_EQ(n.at("frames"), 72) << play.out;
    EXPECT_EQ(n.at("duration_ms"), 2000) << play.out;
    ASSERT_EQ(n.count("cameras"), 1u) << play.out;
    EXPECT_EQ(n.at("cameras"), 6);
    EXPECT_EQ(n.at("camera0_presented"), 72) << play.out;
    EXPECT_EQ(n.at("camera0_dropped"), 0) << play.out;
    for (int c = 1; c < 6; ++c) {
        SCOPED_TRACE(c);
        const std::string camera = "camera" + std::to_string(c);
        ASSERT_EQ(n.count(camera + "_presented"), 1u) << play.out;
        // Small pictures keep up on any machine; a few may be held back in the decoder at the
        // end (the clips have B-frames).
        EXPECT_GE(n.at(camera + "_presented"), 60) << play.out;
        EXPECT_LE(n.at(camera + "_presented") + n.at(camera + "_dropped"), 72) << play.out;
    }
    EXPECT_EQ(n.count("camera6_presented"), 0u);

    // Two cameras: the line has no per-camera figures.
    const std::string two = dir.File("Record/");
    ASSERT_TRUE(MakeClip(two + "20240305_090702_NF.mp4", {}));
    ASSERT_TRUE(MakeClip(two + "20240305_090702_NR.mp4", {}));
    const TatcardRun pair =
        RunTatcard("play " + folder + " 20240305_090702_N --null-audio --size 160x90", scratch);
    ASSERT_EQ(pair.status, 0) << pair.err;
    EXPECT_EQ(pair.out.find("cameras="), std::string::npos) << pair.out;
    EXPECT_EQ(pair.out.find("camera1_"), std::string::npos) << pair.out;
}

// tatcard on a folder of ordinary dash-cam files: the list (plain and JSON), the description of
// one recording, and the same JSON list for the camera's storage.
#include "TatcardProgram.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// A BlackVue folder: a normal recording with an H.264 front (AAC) and an H.265 rear camera
// and a GPS side file; an event whose front file lost its index at a power cut.
class FolderSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string record = m_dir.File("BlackVue/Record/");
        ASSERT_TRUE(MakeClip(record + "20240305_090702_NF.mp4", {}));
        ClipSpec rear;
        rear.codec = "libx265";
        rear.rate = "25";
        rear.audioRate = 0;
        ASSERT_TRUE(MakeClip(record + "20240305_090702_NR.mp4", rear));
        std::ofstream(record + "20240305_090702_N.gps")
            << "[1709629622000]$GPRMC,090702.00,A,3733.000,N,12658.000,E,10.0,90.0,050324,,,A*"
               "56\n";
        ASSERT_TRUE(MakeClip(record + "20240305_091000_EF.mp4", {}));
        ASSERT_TRUE(CutFile(record + "20240305_091000_EF.mp4", 4000));
    }

    TempDir m_dir;
    TempDir m_scratch;
};

} // namespace

TEST_F(FolderSourceTest, ListsRecordingsAsJsonWithLengthAndDamage) {
    const TatcardRun r = RunTatcard("ls " + Quoted(m_dir.Path().string()) + " --json", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "[\n"
        "{\"name\": \"20240305_091000_E\", \"category\": \"event\", \"start\": "
        "\"2024-03-05T09:10:00\", \"channels\": 1, \"duration_s\": null, "
        "\"size_bytes\": 4000, \"damaged\": true},\n"
        "{\"name\": \"20240305_090702_N\", \"category\": \"rec\", \"start\": "
        "\"2024-03-05T09:07:02\", \"channels\": 2, \"duration_s\": 2.000, "
        "\"size_bytes\": " +
            std::to_string(
                std::filesystem::file_size(m_dir.File("BlackVue/Record/20240305_090702_NF.mp4")) +
                std::filesystem::file_size(m_dir.File("BlackVue/Record/20240305_090702_NR.mp4")) +
                std::filesystem::file_size(m_dir.File("BlackVue/Record/20240305_090702_N.gps"))) +
            ", \"damaged\": false}\n"
            "]\n");

    const TatcardRun events =
        RunTatcard("ls " + Quoted(m_dir.Path().string()) + " --category event", m_scratch);
    ASSERT_EQ(events.status, 0) << events.err;
    EXPECT_EQ(Lines(events.out), 1);
    EXPECT_NE(events.out.find("20240305_091000_E"), std::string::npos);
}

TEST_F(FolderSourceTest, DescribesARecordingByItsName) {
    const TatcardRun r =
        RunTatcard("info " + Quoted(m_dir.Path().string()) + " 20240305_090702_N", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("naming        blackvue"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("rear          " + m_dir.File("BlackVue/Record/20240305_090702_NR.mp4")),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("side file     " + m_dir.File("BlackVue/Record/20240305_090702_N.gps")),
              std::string::npos);
    EXPECT_NE(r.out.find("damaged       no"), std::string::npos);

    const TatcardRun missing =
        RunTatcard("info " + Quoted(m_dir.Path().string()) + " 20240305_090702", m_scratch);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no recording 20240305_090702"), std::string::npos);
}

TEST(CardJsonTest, ListsTheCardAsJson) {
    TempDir scratch;
    const std::string& card = SharedTestCard();
    ASSERT_FALSE(card.empty());
    const TatcardRun r = RunTatcard("ls " + Quoted(card) + " --json --category event", scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(Lines(r.out), 3);
    EXPECT_EQ(r.out.substr(0, 2), "[\n");
    EXPECT_NE(r.out.find("\"category\": \"event\""), std::string::npos);
    EXPECT_EQ(r.out.find("\"category\": \"rec\""), std::string::npos);
    EXPECT_NE(r.out.find("\"duration_s\": 1.000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"start\": \"20"), std::string::npos);
}

TEST_F(FolderSourceTest, PlaysAndDecodesBothCodings) {
    const std::string dir = Quoted(m_dir.Path().string());
    // Front (H.264, 60) and rear (H.265, 50) pictures decode; the last few of each stay in
    // the decoders, which hold pictures back for reordering (the clips have B-frames).
    const TatcardRun bench = RunTatcard("bench " + dir + " 20240305_090702_N", m_scratch);
    ASSERT_EQ(bench.status, 0) << bench.err;
    const int frames = std::atoi(bench.out.c_str() + std::strlen("bench frames="));
    EXPECT_GE(frames, 100) << bench.out;
    EXPECT_LE(frames, 110) << bench.out;

    const TatcardRun play =
        RunTatcard("play " + dir + " 20240305_090702_N --null-audio --size 160x90", m_scratch);
    ASSERT_EQ(play.status, 0) << play.err;
    EXPECT_NE(play.out.find("duration_ms=2000 "), std::string::npos) << play.out;

    const TatcardRun damaged =
        RunTatcard("play " + dir + " 20240305_091000_E --null-audio", m_scratch);
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.err.find("cannot open 20240305_091000_E"), std::string::npos) << damaged.err;
}

TEST_F(FolderSourceTest, ExportCopiesTheOriginalFiles) {
    TempDir out;
    const TatcardRun r = RunTatcard("export " + Quoted(m_dir.Path().string()) + " --to " +
                                        Quoted(out.Path().string()) + " 20240305_090702_N nothing",
                                    m_scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing: failed: no such recording"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("20240305_090702_N: 3 files"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileText(out.File("20240305_090702_N.gps")),
              ReadFileText(m_dir.File("BlackVue/Record/20240305_090702_N.gps")));
    EXPECT_EQ(std::filesystem::file_size(out.File("20240305_090702_NR.mp4")),
              std::filesystem::file_size(m_dir.File("BlackVue/Record/20240305_090702_NR.mp4")));

    const TatcardRun avi = RunTatcard(
        "export " + Quoted(m_dir.Path().string()) + " 20240305_090702_N x.avi", m_scratch);
    EXPECT_EQ(avi.status, 2);
}

// As the card's export: a missing target folder is made with the folders above it; one that
// cannot be made is told with the reason and nothing is copied.
TEST_F(FolderSourceTest, ExportMakesAMissingTargetFolder) {
    TempDir out;
    const std::string nested = out.File("a/b");
    const TatcardRun r = RunTatcard("export " + Quoted(m_dir.Path().string()) + " --to " +
                                        Quoted(nested) + " 20240305_090702_N",
                                    m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("20240305_090702_N: 3 files"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileText(nested + "/20240305_090702_N.gps"),
              ReadFileText(m_dir.File("BlackVue/Record/20240305_090702_N.gps")));

    WriteFileText(out.File("file"), "x");
    const std::string underFile = out.File("file/sub");
    const TatcardRun blocked = RunTatcard("export " + Quoted(m_dir.Path().string()) + " --to " +
                                              Quoted(underFile) + " 20240305_090702_N",
                                          m_scratch);
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.out, "");
    EXPECT_EQ(blocked.err,
              "tatcard: cannot create the folder " + underFile + ": Not a directory\n");
}

TEST_F(FolderSourceTest, RouteOfAFolderRecordingAsGpx) {
    const TatcardRun r =
        RunTatcard("gpx " + Quoted(m_dir.Path().string()) + " 20240305_090702_N", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("<trkpt lat=\"37.5500000\" lon=\"126.9666667\">"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("<time>2024-03-05T09:07:02Z</time>"), std::string::npos) << r.out;
    const TatcardRun missing =
        RunTatcard("csv " + Quoted(m_dir.Path().string()) + " 20240305_090000_N", m_scratch);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no recording 20240305_090000_N"), std::string::npos) << missing.err;
}

// One camera's file given on its own: the recording it belongs to, with the other camera
// beside it, is listed and decoded whole; a file with no other camera beside it is itself.
TEST_F(FolderSourceTest, OneFileGivenPlaysWithTheOtherCameraBesideIt) {
    const std::string front = Quoted(m_dir.File("BlackVue/Record/20240305_090702_NF.mp4"));
    const TatcardRun list = RunTatcard("ls " + front + " --json", m_scratch);
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("{\"name\": \"20240305_090702_N\", \"category\": \"rec\", \"start\": "
                            "\"2024-03-05T09:07:02\", \"channels\": 2, \"duration_s\": 2.000"),
              std::string::npos)
        << list.out;
    const TatcardRun bench = RunTatcard("bench " + front + " 20240305_090702_N", m_scratch);
    ASSERT_EQ(bench.status, 0) << bench.err;
    EXPECT_GE(std::atoi(bench.out.c_str() + std::strlen("bench frames=")), 100) << bench.out;

    const TatcardRun alone =
        RunTatcard("ls " + Quoted(m_dir.File("BlackVue/Record/20240305_091000_EF.mp4")) + " --json",
                   m_scratch);
    ASSERT_EQ(alone.status, 0) << alone.err;
    EXPECT_NE(alone.out.find("\"name\": \"20240305_091000_EF\""), std::string::npos) << alone.out;
    EXPECT_NE(alone.out.find("\"channels\": 1"), std::string::npos);
}

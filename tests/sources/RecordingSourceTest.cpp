// The recording sources as the window and the tools see them: a card and a dash-cam folder
// behind one interface, listed, grouped into drives, laid out for playing, read for their
// telemetry and downloaded.
#include "sources/CardSource.h"
#include "sources/FolderSource.h"
#include "sources/MediaOptions.h"
#include "sources/SourceOpening.h"
#include "sources/TripPlan.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TatTestCards.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> NamesOf(VRecordingSource& source, const std::vector<size_t>& rows) {
    std::vector<std::string> names;
    for (const size_t i : rows)
        names.push_back(source.Recordings()[i].name);
    return names;
}

std::vector<std::string> TripNames(const VRecordingSource& source, const trips::Trip& trip) {
    std::vector<std::string> names;
    for (const size_t i : trip.members)
        names.push_back(source.Recordings()[i].name);
    return names;
}

TEST(CardSource, ListsGroupsAndLaysOutDrivesFromTheFrameCounts) {
    TempDir dir;
    // Two back-to-back normal recordings and an event right after them; an hour later another.
    // Front frames big enough for the window's list (512 KiB a recording).
    const auto big = [](const char* name, int seconds) {
        TestRecording recording;
        recording.name = name;
        recording.seconds = seconds;
        recording.frontBytes = 9000;
        return recording;
    };
    MakeTestCard(dir.Path().string(),
                 {big("REC_20240305_090000_D", 3), big("REC_20240305_090003_D", 3),
                  big("EVENT_20240305_090006_D", 2), big("REC_20240305_100000_D", 3)});
    const std::shared_ptr<VRecordingSource> source =
        sources::Open(dir.Path().string(), sources::Options{});
    ASSERT_TRUE(source);
    EXPECT_EQ(source->SourceType(), VRecordingSource::Type::kCard);
    EXPECT_EQ(source->StorageFolder(), dir.Path().string() + "/TATSTORE");
    ASSERT_EQ(source->Recordings().size(), 4u);
    const int event = source->Find("EVENT_20240305_090006_D");
    ASSERT_GE(event, 0);
    const SourceRecording& eventRecording = source->Recordings()[static_cast<size_t>(event)];
    EXPECT_EQ(eventRecording.category, 0);
    EXPECT_EQ(eventRecording.lengthMs, 2000);
    EXPECT_EQ(eventRecording.start.minute, 0);
    EXPECT_EQ(eventRecording.start.second, 6);
    EXPECT_EQ(eventRecording.channels, 2);
    EXPECT_EQ(eventRecording.cameras, (std::vector<std::string>{"front", "rear"}));
    EXPECT_GT(eventRecording.sizeBytes, 0);
    // The list's order: the card's rule (names in descending byte order for all).
    EXPECT_EQ(NamesOf(*source, source->List(4)),
              (std::vector<std::string>{"REC_20240305_100000_D", "REC_20240305_090003_D",
                                        "REC_20240305_090000_D", "EVENT_20240305_090006_D"}));
    EXPECT_EQ(NamesOf(*source, source->List(0)),
              std::vector<std::string>{"EVENT_20240305_090006_D"});
    EXPECT_EQ(source->RowOf(static_cast<size_t>(event)).label, "EVT");

    const std::vector<trips::Trip> drives = source->Trips();
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(TripNames(*source, drives[0]),
              (std::vector<std::string>{"REC_20240305_090000_D", "REC_20240305_090003_D",
                                        "EVENT_20240305_090006_D"}));
    EXPECT_TRUE(drives[0].holdsEvents);
    EXPECT_FALSE(drives[1].holdsEvents);

    const TripPlan plan = tripplan::Plan(*source, drives[0]);
    ASSERT_EQ(plan.segments.size(), 3u);
    EXPECT_EQ(plan.lengthMs, 8000);
    EXPECT_EQ(plan.OffsetMs(1), 3000);
    EXPECT_EQ(plan.OffsetMs(2), 6000);
    EXPECT_EQ(plan.MemberAt(0), 0);
    EXPECT_EQ(plan.MemberAt(2999), 0);
    EXPECT_EQ(plan.MemberAt(3000), 1);
    EXPECT_EQ(plan.MemberAt(7999), 2);
    EXPECT_EQ(plan.MemberAt(20000), 2);
    EXPECT_EQ(plan.segments[2].name, "EVENT_20240305_090006_D");

    // The card plays and carries its telemetry in its packets, also without media parsers.
    std::string openName;
    EXPECT_NE(source->EngineParser("REC_20240305_090000_D", openName), nullptr);
    EXPECT_EQ(openName, "REC_20240305_090000_D");
    EXPECT_EQ(source->EngineParser("REC_20990101_000000_D", openName), nullptr);
    EXPECT_TRUE(source->TelemetryInPackets("REC_20240305_090000_D"));
}

TEST(CardSource, DownloadsAnAviWhileAnotherParserReadsTheCard) {
    TempDir dir;
    TestRecording first;
    first.name = "REC_20240305_090000_D";
    first.seconds = 2;
    first.frontBytes = 9000;
    TestRecording second = first;
    second.name = "REC_20240305_090002_D";
    MakeTestCard(dir.Path().string(), {first, second});
    const std::shared_ptr<VRecordingSource> source =
        sources::Open(dir.Path().string(), sources::Options{});
    ASSERT_TRUE(source);
    // A parser of its own reads one recording whole while the source downloads the other.
    std::string openName;
    std::unique_ptr<VMediaParser> other = source->NewParser("REC_20240305_090002_D", openName);
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->Start());
    OpenInfo info;
    ASSERT_NE(other->Open(openName, &info), 0);
    EXPECT_EQ(info.frontFrameCount, 60);

    const std::string target = dir.File("out");
    std::filesystem::create_directories(target);
    const SourceDownload done = source->Download("REC_20240305_090000_D", target, {});
    EXPECT_EQ(done.report.outcome, ExportReport::Outcome::kComplete) << done.report.reason;
    EXPECT_TRUE(std::filesystem::exists(target + "/REC_20240305_090000_D.avi"));
    EXPECT_EQ(done.routeFolder, target);

    std::vector<uint8_t> buffer(kPacketBufferSize);
    int front = 0;
    for (MediaPacket packet; other->Read(buffer.data(), kPacketBufferSize, packet);)
        front += packet.kind == FrontVideo ? 1 : 0;
    EXPECT_EQ(front, 60);
    other->Stop();
    // Nothing is written into the card's storage.
    const SourceDownload refused =
        source->Download("REC_20240305_090000_D", dir.Path().string() + "/TATSTORE/inside", {});
    EXPECT_NE(refused.report.outcome, ExportReport::Outcome::kComplete);
}

class FolderSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir();
        const std::string record = s_dir->File("Record/");
        ClipSpec clip;
        clip.seconds = 1.0;
        ASSERT_TRUE(MakeClip(record + "20240305_090000_NF.mp4", clip));
        ASSERT_TRUE(MakeClip(record + "20240305_090000_NR.mp4", clip));
        ASSERT_TRUE(MakeClip(record + "20240305_090001_EF.mp4", clip));
        ASSERT_TRUE(MakeClip(record + "20240305_120000_NF.mp4", clip));
        WriteFileText(record + "20240305_090000_N.gps",
                      "[1709629200000]$GNRMC,090000.00,A,3733.0000,N,12658.0000,E,10.0,90.0,"
                      "050324,,,A*4D\n");
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static TempDir* s_dir;
};
TempDir* FolderSourceTest::s_dir = nullptr;

TEST_F(FolderSourceTest, ListsNewestFirstAndPlaysThroughTheParserItIsGiven) {
    const std::shared_ptr<VRecordingSource> bare =
        sources::Open(s_dir->Path().string(), sources::Options{});
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->SourceType(), VRecordingSource::Type::kFolder);
    EXPECT_TRUE(bare->StorageFolder().empty());
    EXPECT_EQ(
        NamesOf(*bare, bare->List(4)),
        (std::vector<std::string>{"20240305_120000_N", "20240305_090001_E", "20240305_090000_N"}));
    const size_t first = static_cast<size_t>(bare->Find("20240305_090000_N"));
    EXPECT_EQ(bare->Recordings()[first].channels, 2);
    EXPECT_EQ(bare->Recordings()[first].cameras, (std::vector<std::string>{"front", "rear"}));
    EXPECT_EQ(bare->RowOf(first).rear, "0");
    // Lengths from the files' headers.
    EXPECT_NEAR(static_cast<double>(bare->PlayLengthMs(first)), 1000.0, 70.0);
    // A program without the media parsers lists and reads telemetry, but does not play.
    std::string openName;
    EXPECT_EQ(bare->EngineParser("20240305_090000_N", openName), nullptr);
    EXPECT_FALSE(bare->TelemetryInPackets("20240305_090000_N"));
    const TelemetryTrack track = bare->LoadTrack("20240305_090000_N");
    ASSERT_EQ(track.fixes.size(), 1u);
    EXPECT_TRUE(bare->LoadTrack("no such recording").Empty());

    const std::shared_ptr<VRecordingSource> playing =
        sources::Open(s_dir->Path().string(), sources::WithMediaParsers(nullptr));
    VMediaParser* parser = playing->EngineParser("20240305_090000_N", openName);
    ASSERT_NE(parser, nullptr);
    OpenInfo info;
    ASSERT_NE(parser->Open(openName, &info), 0);
    EXPECT_EQ(parser->VideoChannels(), 2);
    parser->Close();
    // Its own parser opens every recording of the folder.
    std::unique_ptr<VMediaParser> own = playing->NewParser("20240305_090000_N", openName);
    ASSERT_TRUE(own);
    EXPECT_NE(own->Open(playing->OpenName("20240305_120000_N"), &info), 0);
    own->Stop();
}

TEST_F(FolderSourceTest, DownloadCopiesTheFilesAndHandsBackTheRoute) {
    const std::shared_ptr<VRecordingSource> source =
        sources::Open(s_dir->Path().string(), sources::Options{});
    TempDir out;
    const SourceDownload done = source->Download("20240305_090000_N", out.Path().string(), {});
    ASSERT_EQ(done.report.outcome, ExportReport::Outcome::kComplete) << done.report.reason;
    EXPECT_EQ(done.track.fixes.size(), 1u);
    EXPECT_FALSE(done.routeFolder.empty());
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out.Path()))
        files += entry.is_regular_file() ? 1u : 0u;
    EXPECT_EQ(files, 3u); // front, rear, side file
    EXPECT_EQ(source->Download("nothing", out.Path().string(), {}).report.outcome,
              ExportReport::Outcome::kFailed);
}

TEST_F(FolderSourceTest, JoinedTrackMovesEachRecordingToItsPlaceOnTheDrive) {
    const std::shared_ptr<VRecordingSource> source =
        sources::Open(s_dir->Path().string(), sources::Options{});
    trips::Trip trip;
    trip.members = {static_cast<size_t>(source->Find("20240305_090001_E")),
                    static_cast<size_t>(source->Find("20240305_090000_N"))};
    const TripPlan plan = tripplan::Plan(*source, trip);
    ASSERT_EQ(plan.segments.size(), 2u);
    const TelemetryTrack joined = tripplan::JoinedTrack(*source, plan);
    ASSERT_EQ(joined.fixes.size(), 1u);
    // The fix of the second member, at its time into that recording after the first.
    EXPECT_GE(joined.fixes[0].timeMs, plan.OffsetMs(1));
}

TEST(SourceOpening, OneFileIsASourceOfItsOwnAndNothingIsNone) {
    TempDir dir;
    ClipSpec clip;
    clip.seconds = 0.5;
    ASSERT_TRUE(MakeClip(dir.File("clip.mp4"), clip));
    const std::shared_ptr<VRecordingSource> file =
        sources::Open(dir.File("clip.mp4"), sources::Options{});
    ASSERT_TRUE(file);
    EXPECT_EQ(file->SourceType(), VRecordingSource::Type::kFile);
    EXPECT_EQ(file->Recordings().size(), 1u);
    EXPECT_EQ(sources::Open(dir.File("missing"), sources::Options{}), nullptr);
}

} // namespace

TEST(FolderSourceCar, ACarsRecordingListsItsCamerasInTheirPlayingOrder) {
    TempDir dir;
    const std::string clips = dir.File("TeslaCam/SentryClips/2024-03-05_09-10-00/");
    std::filesystem::create_directories(clips);
    for (const char* camera : {"right_pillar", "front", "left_repeater", "back"})
        std::ofstream(clips + "2024-03-05_09-07-02-" + camera + ".mp4") << "x";
    const std::shared_ptr<VRecordingSource> source =
        sources::Open(dir.Path().string(), sources::Options{});
    ASSERT_TRUE(source);
    const int index = source->Find("2024-03-05_09-07-02");
    ASSERT_GE(index, 0);
    const SourceRecording& car = source->Recordings()[static_cast<size_t>(index)];
    EXPECT_EQ(car.cameras,
              (std::vector<std::string>{"front", "back", "left_repeater", "right_pillar"}));
    EXPECT_EQ(car.channels, 4);
    EXPECT_EQ(source->SourceFiles("2024-03-05_09-07-02").size(), 4u) << "every file of it";
}

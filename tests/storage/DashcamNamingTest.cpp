#include "storage/DashcamNaming.h"
#include "storage/FolderScanner.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace dashcam;

namespace {

struct Expected {
    const char* path;
    const char* family;
    const char* recording;
    int category;
    Channel channel;
    CivilTime start;
};

} // namespace

TEST(DashcamNamingTest, ConventionsGiveRecordingCategoryChannelAndTime) {
    const CivilTime t{2024, 3, 5, 9, 7, 2};
    const CivilTime noSeconds{2024, 3, 5, 9, 7, 0};
    const Expected cases[] = {
        {"Record/20240305_090702_NF.mp4", "blackvue", "20240305_090702_N", kNormal, kFront, t},
        {"Record/20240305_090702_ER.mp4", "blackvue", "20240305_090702_E", kEvent, kRear, t},
        {"20240305_090702_PFL.mp4", "blackvue", "20240305_090702_P", kParking, kFront, t},
        {"20240305_090702_MI.mp4", "blackvue", "20240305_090702_M", kManual, kInterior, t},
        {"20240305_090702_XF.mp4", "blackvue", "20240305_090702_X", kEvent, kFront, t},
        {"DCIM/Movie/2024_0305_090702_0001F.MP4", "viofo", "2024_0305_090702_0001", kNormal, kFront,
         t},
        {"DCIM/Movie/RO/2024_0305_090702_0001R.MP4", "viofo", "2024_0305_090702_0001", kEvent,
         kRear, t},
        {"DCIM/Movie/Parking/2024_0305_090702_0002PF.TS", "viofo", "2024_0305_090702_0002P",
         kParking, kFront, t},
        {"2024_0305_090702_0003EI.MP4", "viofo", "2024_0305_090702_0003E", kEvent, kInterior, t},
        {"20240305090702_000123.MP4", "viofo", "20240305090702_000123", kNormal, kFront, t},
        {"CARDV/MOVIE/2024_0305_090702_001.MOV", "novatek", "2024_0305_090702_001", kNormal, kFront,
         t},
        {"CARDV/MOVIE/RO/2024_0305_090702_001.MP4", "novatek", "2024_0305_090702_001", kEvent,
         kFront, t},
        {"cont_rec/REC_2024_03_05_09_07_02_F.MP4", "thinkware", "REC_2024_03_05_09_07_02", kNormal,
         kFront, t},
        {"evt_rec/EVT_2024_03_05_09_07_02_R.MP4", "thinkware", "EVT_2024_03_05_09_07_02", kEvent,
         kRear, t},
        {"PARK_2024_03_05_09_07_02_F.MP4", "thinkware", "PARK_2024_03_05_09_07_02", kParking,
         kFront, t},
        {"Normal/Front/NO20240305-090702-000123F.mp4", "70mai", "NO20240305-090702-000123", kNormal,
         kFront, t},
        {"Normal/Back/NO20240305-090702-000123B.mp4", "70mai", "NO20240305-090702-000123", kNormal,
         kRear, t},
        {"Event/EV20240305-090702.mp4", "70mai", "EV20240305-090702", kEvent, kFront, t},
        {"Lapse/LA20240305-090702I.mp4", "70mai", "LA20240305-090702", kParking, kInterior, t},
        {"20240305_090702_0001_E_C.mp4", "vantrue", "20240305_090702_0001_E", kEvent, kRear, t},
        {"20240305_090702_0001_N_B.mp4", "vantrue", "20240305_090702_0001_N", kNormal, kInterior,
         t},
        {"2024_03_05_090702_02_F.MP4", "wolfbox", "2024_03_05_090702_02", kEvent, kFront, t},
        {"2024_03_05_090702_00_R.MP4", "wolfbox", "2024_03_05_090702_00", kNormal, kRear, t},
        {"DCIM/240305_090702_001_FH.MP4", "nextbase", "240305_090702_001", kNormal, kFront, t},
        {"Protected/240305_090702_001_RL.MP4", "nextbase", "240305_090702_001", kEvent, kRear, t},
        {"TeslaCam/RecentClips/2024-03-05_09-07-front.mp4", "tesla", "2024-03-05_09-07", kNormal,
         kFront, noSeconds},
        {"TeslaCam/SentryClips/2024-03-05_09-07-02/2024-03-05_09-07-02-back.mp4", "tesla",
         "2024-03-05_09-07-02", kEvent, kRear, t},
        {"TeslaCam/SavedClips/x/2024-03-05_09-07-02-left_repeater.mp4", "tesla",
         "2024-03-05_09-07-02", kManual, kOther, t},
        {"exports/PARKING_20240305_090702_D.avi", "tatview", "PARKING_20240305_090702_D", kParking,
         kFront, t},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.path);
        const FileNameInfo info = ReadFileName(e.path);
        EXPECT_EQ(info.role, FileRole::kVideo);
        EXPECT_TRUE(info.named);
        EXPECT_EQ(info.family, e.family);
        EXPECT_EQ(info.recording, e.recording);
        EXPECT_EQ(info.category, e.category);
        EXPECT_EQ(info.channel, e.channel);
        EXPECT_TRUE(info.hasTime);
        EXPECT_EQ(info.start, e.start);
    }
}

TEST(DashcamNamingTest, SideFilesUnknownNamesAndNonsense) {
    const FileNameInfo gps = ReadFileName("Record/20240305_090702_N.gps");
    EXPECT_EQ(gps.role, FileRole::kSideFile);
    EXPECT_EQ(gps.recording, "20240305_090702_N");
    EXPECT_EQ(ReadFileName("20240305_090702_E.3gf").category, kEvent);

    const FileNameInfo plain = ReadFileName("Event/holiday clip.MKV");
    EXPECT_EQ(plain.role, FileRole::kVideo);
    EXPECT_FALSE(plain.named);
    EXPECT_FALSE(plain.hasTime);
    EXPECT_EQ(plain.recording, "holiday clip");
    EXPECT_EQ(plain.category, kEvent); // the folder's word

    EXPECT_EQ(ReadFileName("notes.txt").role, FileRole::kIgnored);
    EXPECT_EQ(ReadFileName("folder.mp4/").role, FileRole::kIgnored);
    EXPECT_EQ(ReadFileName(".mp4").role, FileRole::kIgnored);
    EXPECT_EQ(ReadFileName("").role, FileRole::kIgnored);
    // A date that is no date is read as a plain file, not as the convention.
    EXPECT_FALSE(ReadFileName("20241305_090702_NF.mp4").named);
    EXPECT_FALSE(ReadFileName("20240305_250702_NF.mp4").named);
    // Near misses of the patterns.
    EXPECT_FALSE(ReadFileName("20240305_090702_NQ.mp4").named);
    EXPECT_FALSE(ReadFileName("2024_03_05_090702_01_F.MP4").named);
    EXPECT_FALSE(ReadFileName("XX20240305-090702F.mp4").named);
}

namespace {

void Touch(const std::string& path, size_t bytes = 10) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << std::string(bytes, 'x');
}

} // namespace

TEST(FolderScannerTest, GroupsChannelsAndSideFilesAcrossFolders) {
    TempDir dir;
    const std::string root = dir.Path().string();
    Touch(root + "/BlackVue/Record/20240305_090702_NF.mp4", 100);
    Touch(root + "/BlackVue/Record/20240305_090702_NR.mp4", 50);
    Touch(root + "/BlackVue/Record/20240305_090702_N.gps", 5);
    Touch(root + "/BlackVue/Record/20240305_090702_N.3gf", 5);
    Touch(root + "/BlackVue/Record/20240305_080000_EF.mp4");
    Touch(root + "/Normal/Front/NO20240305-090702-000001F.mp4");
    Touch(root + "/Normal/Back/NO20240305-090702-000001B.mp4");
    Touch(root + "/DCIM/240305_090702_001_FH.MP4");
    Touch(root + "/DCIM/240305_090702_001_FL.MP4");
    Touch(root + "/misc/trip.mov");
    Touch(root + "/misc/trip.NMEA");
    Touch(root + "/misc/orphan.nmea");
    Touch(root + "/TeslaCam/SentryClips/2024-03-05_10-00-00/2024-03-05_09-59-front.mp4");
    Touch(root + "/TeslaCam/SentryClips/2024-03-05_10-00-00/2024-03-05_09-59-back.mp4");
    Touch(root + "/TeslaCam/SentryClips/2024-03-05_10-00-00/event.json");
    Touch(root + "/TATSTORE/x.mp4");
    Touch(root + "/.hidden/20240305_090702_NF.mp4");

    const auto list = folderscan::Scan(root);
    ASSERT_EQ(list.size(), 6u);
    // Events first (BlackVue E at 08:00, then Tesla sentry), then normal ones by time.
    EXPECT_EQ(list[0].name, "20240305_080000_E");
    EXPECT_EQ(list[1].name, "2024-03-05_09-59");
    EXPECT_EQ(list[1].ChannelCount(), 2);
    EXPECT_EQ(list[1].sideFiles.size(), 1u); // event.json

    const DashcamRecording* blackvue = folderscan::Find(list, "20240305_090702_N");
    ASSERT_NE(blackvue, nullptr);
    EXPECT_EQ(blackvue->ChannelCount(), 2);
    EXPECT_EQ(blackvue->FirstPicture(), root + "/BlackVue/Record/20240305_090702_NF.mp4");
    EXPECT_EQ(blackvue->SecondPicture(), root + "/BlackVue/Record/20240305_090702_NR.mp4");
    EXPECT_EQ(blackvue->sideFiles.size(), 2u);
    EXPECT_EQ(blackvue->sizeBytes, 160);
    EXPECT_EQ(blackvue->AllFiles().size(), 4u);

    const DashcamRecording* mai = folderscan::Find(list, "NO20240305-090702-000001");
    ASSERT_NE(mai, nullptr);
    EXPECT_EQ(mai->ChannelCount(), 2);

    const DashcamRecording* nextbase = folderscan::Find(list, "240305_090702_001");
    ASSERT_NE(nextbase, nullptr);
    EXPECT_EQ(nextbase->ChannelCount(), 1); // the low-quality copy is not played...
    EXPECT_NE(nextbase->FirstPicture().find("_FH."), std::string::npos);
    EXPECT_EQ(nextbase->extraFiles.size(), 1u); // ... but belongs to the recording

    const DashcamRecording* trip = folderscan::Find(list, "trip");
    ASSERT_NE(trip, nullptr);
    EXPECT_FALSE(trip->startFromName);
    ASSERT_EQ(trip->sideFiles.size(), 1u);
    EXPECT_NE(trip->sideFiles[0].find("trip.NMEA"), std::string::npos);

    EXPECT_TRUE(folderscan::HoldsVideoFiles(root));
    TempDir empty;
    Touch(empty.Path().string() + "/readme.txt");
    EXPECT_FALSE(folderscan::HoldsVideoFiles(empty.Path().string()));
    EXPECT_TRUE(folderscan::Scan(empty.Path().string() + "/missing").empty());
}

TEST(FolderScannerTest, ACarPlaysEveryCameraInItsOrderOthersTheirTwoPictures) {
    TempDir dir;
    const std::string root = dir.Path().string();
    const std::string clips = root + "/TeslaCam/RecentClips/";
    // Made in an order unlike the playing order; the right pillar is missing.
    for (const char* camera : {"left_pillar", "back", "right_repeater", "front", "left_repeater"})
        Touch(clips + "2024-03-05_09-07-02-" + camera + ".mp4", 10);
    Touch(root + "/Record/20240305_090702_NF.mp4");
    Touch(root + "/Record/20240305_090702_NI.mp4");
    Touch(root + "/Record/20240305_090702_NR.mp4");
    Touch(root + "/Record/20240305_100000_NI.mp4");

    const auto list = folderscan::Scan(root);
    const DashcamRecording* car = folderscan::Find(list, "2024-03-05_09-07-02");
    ASSERT_NE(car, nullptr);
    const std::vector<std::string> words = {"front", "back", "left_repeater", "right_repeater",
                                            "left_pillar"};
    EXPECT_EQ(car->CameraWords(), words);
    ASSERT_EQ(car->Pictures().size(), words.size());
    for (size_t c = 0; c < words.size(); ++c)
        EXPECT_EQ(car->Pictures()[c], clips + "2024-03-05_09-07-02-" + words[c] + ".mp4");
    // What the listing and the download see stays as it was: three channels, every file.
    EXPECT_EQ(car->ChannelCount(), 3);
    EXPECT_EQ(car->AllFiles().size(), 5u);
    EXPECT_EQ(car->sizeBytes, 50);

    const DashcamRecording* three = folderscan::Find(list, "20240305_090702_N");
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(three->Pictures(),
              (std::vector<std::string>{three->FirstPicture(), three->SecondPicture()}));
    EXPECT_NE(three->SecondPicture().find("_NR."), std::string::npos);
    EXPECT_EQ(three->CameraWords(), (std::vector<std::string>{"front", "rear"}));
    const DashcamRecording* interior = folderscan::Find(list, "20240305_100000_N");
    ASSERT_NE(interior, nullptr);
    EXPECT_EQ(interior->Pictures().size(), 1u);
    EXPECT_EQ(interior->CameraWords(), (std::vector<std::string>{"front"}));
}

// One file opened on its own brings the other cameras of its moment that lie beside it, so a
// front file plays with its rear; a file with no other camera beside it, a copy that is not
// played and a plain video file stay themselves.
TEST(FolderScannerTest, OneFileOpenedBringsTheOtherCamerasBesideIt) {
    TempDir dir;
    const std::string root = dir.Path().string();
    const std::string record = root + "/Record/";
    Touch(record + "20240305_090702_NF.mp4", 100);
    Touch(record + "20240305_090702_NR.mp4", 50);
    Touch(record + "20240305_090702_N.gps", 5);
    Touch(record + "20240305_100000_NF.mp4");
    Touch(record + "240305_090702_001_FH.MP4");
    Touch(record + "240305_090702_001_FL.MP4");
    Touch(record + "trip.mov");
    Touch(record + "deeper/20240305_100000_NR.mp4"); // not beside it
    const std::string clips = root + "/TeslaCam/RecentClips/";
    for (const char* camera : {"back", "front", "left_repeater"})
        Touch(clips + "2024-03-05_09-07-02-" + camera + ".mp4");

    for (const char* opened : {"20240305_090702_NF.mp4", "20240305_090702_NR.mp4"}) {
        const DashcamRecording pair = folderscan::SingleFile(record + opened);
        EXPECT_EQ(pair.name, "20240305_090702_N") << opened;
        EXPECT_EQ(pair.Pictures(), (std::vector<std::string>{record + "20240305_090702_NF.mp4",
                                                             record + "20240305_090702_NR.mp4"}));
        EXPECT_EQ(pair.sideFiles, std::vector<std::string>{record + "20240305_090702_N.gps"});
        EXPECT_EQ(pair.sizeBytes, 155);
        EXPECT_TRUE(pair.startFromName);
    }
    const DashcamRecording car = folderscan::SingleFile(clips + "2024-03-05_09-07-02-back.mp4");
    EXPECT_EQ(car.CameraWords(), (std::vector<std::string>{"front", "back", "left_repeater"}));

    for (const char* alone : {"20240305_100000_NF.mp4", "240305_090702_001_FL.MP4", "trip.mov"}) {
        const DashcamRecording one = folderscan::SingleFile(record + alone);
        EXPECT_EQ(one.Pictures(), std::vector<std::string>{record + alone}) << alone;
        EXPECT_EQ(one.name, std::filesystem::path(alone).stem().string());
    }
    const DashcamRecording missing = folderscan::SingleFile(record + "20240305_110000_NF.mp4");
    EXPECT_EQ(missing.Pictures().size(), 1u);
}

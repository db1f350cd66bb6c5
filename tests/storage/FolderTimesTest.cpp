#include "storage/CivilTime.h"
#include "storage/FolderScanner.h"
#include "tests/support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

// The lengths of folder recordings read from their files' modification times and the local
// start times of their names, under both readings of the file times.
namespace {

using folderscan::FoundFile;

constexpr char kRoot[] = "/cam";

// A BlackVue recording's front and rear file, both closed at `mtime`.
void AddBlackVue(std::vector<FoundFile>& files, const CivilTime& start, int64_t mtime,
                 int64_t rearMtime = -1) {
    char stem[32];
    std::snprintf(stem, sizeof stem, "%04d%02d%02d_%02d%02d%02d_N", start.year, start.month,
                  start.day, start.hour, start.minute, start.second);
    files.push_back({std::string("Record/") + stem + "F.mp4", 1000, mtime});
    files.push_back(
        {std::string("Record/") + stem + "R.mp4", 500, rearMtime < 0 ? mtime : rearMtime});
}

int64_t LengthOf(const std::vector<DashcamRecording>& list, const CivilTime& start) {
    for (const DashcamRecording& recording : list)
        if (recording.start == start)
            return recording.lengthMs;
    ADD_FAILURE() << "no recording starting " << start.hour << ":" << start.minute;
    return -2;
}

// Seconds since 1970 of a UTC date and time.
int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
    return CivilTime{year, month, day, hour, minute, second}.ToSeconds();
}

TEST(FolderTimesTest, BothClockReadingsInBerlinAndNewYork) {
    {
        ScopedTimeZone zone("Europe/Berlin");
        const CivilTime winter{2024, 3, 5, 9, 7, 2}; // CET, UTC+1
        const CivilTime summer{2024, 7, 5, 9, 7, 2}; // CEST, UTC+2
        const CivilTime fat{2024, 7, 5, 10, 0, 0};   // a camera card mounted as it is
        std::vector<FoundFile> files;
        AddBlackVue(files, winter, Utc(2024, 3, 5, 8, 8, 2));  // true UTC: 60 s
        AddBlackVue(files, summer, Utc(2024, 7, 5, 7, 8, 32)); // true UTC: 90 s
        AddBlackVue(files, fat, fat.ToSeconds() + 59);         // local time shown as UTC
        const auto list = folderscan::Group(kRoot, files);
        ASSERT_EQ(list.size(), 3u);
        EXPECT_EQ(LengthOf(list, winter), 60000);
        EXPECT_EQ(LengthOf(list, summer), 90000);
        EXPECT_EQ(LengthOf(list, fat), 59000);
        EXPECT_EQ(list[0].mtime, Utc(2024, 3, 5, 8, 8, 2));
        EXPECT_EQ(list[0].start, winter) << "the name's time stays as it is";
    }
    {
        // The night the clocks go forward (02:00 EST is 03:00 EDT): one recording across the
        // change, one before and one after it, in one listing.
        ScopedTimeZone zone("America/New_York");
        const CivilTime across{2024, 3, 10, 1, 59, 30}; // EST, UTC-5; ends 03:00:30 EDT
        const CivilTime before{2024, 3, 10, 1, 30, 0};
        const CivilTime after{2024, 3, 10, 3, 30, 0}; // EDT, UTC-4
        const CivilTime fat{2024, 3, 10, 9, 0, 0};
        std::vector<FoundFile> files;
        AddBlackVue(files, across, Utc(2024, 3, 10, 7, 0, 30));
        AddBlackVue(files, before, Utc(2024, 3, 10, 6, 31, 0));
        AddBlackVue(files, after, Utc(2024, 3, 10, 7, 31, 0));
        AddBlackVue(files, fat, fat.ToSeconds() + 180);
        const auto list = folderscan::Group(kRoot, files);
        ASSERT_EQ(list.size(), 4u);
        EXPECT_EQ(LengthOf(list, across), 60000);
        EXPECT_EQ(LengthOf(list, before), 60000);
        EXPECT_EQ(LengthOf(list, after), 60000);
        EXPECT_EQ(LengthOf(list, fat), 180000);
    }
    {
        // A zone within the 15 minutes of UTC, where both readings fit: the machine's zone
        // wins (UTC+0:05: 100 s as the card's time, 400 s as true UTC).
        ScopedTimeZone zone("FIV-0:05");
        const CivilTime start{2024, 3, 5, 9, 0, 0};
        std::vector<FoundFile> files;
        AddBlackVue(files, start, start.ToSeconds() + 100);
        EXPECT_EQ(LengthOf(folderscan::Group(kRoot, files), start), 400000);
    }
}

TEST(FolderTimesTest, TimesThatDoNotFitLeaveTheLengthUnknown) {
    ScopedTimeZone zone("Europe/Berlin");
    const CivilTime start{2024, 3, 5, 9, 7, 2};
    const int64_t closedUtc = Utc(2024, 3, 5, 8, 8, 2); // 60 s after the start
    {
        // Copied here a week later without its time; closed a second before it started; 16
        // minutes long by either reading.
        std::vector<FoundFile> files;
        AddBlackVue(files, start, closedUtc + 7 * 86400);
        AddBlackVue(files, start.Plus(600), start.Plus(599).ToSeconds());
        AddBlackVue(files, start.Plus(3600), start.Plus(3600 + 16 * 60).ToSeconds());
        for (const DashcamRecording& recording : folderscan::Group(kRoot, files))
            EXPECT_EQ(recording.lengthMs, -1) << recording.name;
    }
    {
        // Only the rear kept its time: its reading counts.
        std::vector<FoundFile> files;
        AddBlackVue(files, start, closedUtc + 7 * 86400, closedUtc);
        const auto list = folderscan::Group(kRoot, files);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].lengthMs, 60000);
        EXPECT_EQ(list[0].mtime, closedUtc + 7 * 86400);
    }
    {
        // A file that is not played (Nextbase's low-quality copy) does not time the recording;
        // a plain file has no start from its name, so no length, whatever its time.
        std::vector<FoundFile> files = {
            {"DCIM/240305_090702_001_FH.MP4", 1000, closedUtc + 86400},
            {"DCIM/240305_090702_001_FL.MP4", 100, closedUtc},
            {"misc/trip.mov", 1000, closedUtc},
        };
        const auto list = folderscan::Group(kRoot, files);
        ASSERT_EQ(list.size(), 2u);
        for (const DashcamRecording& recording : list)
            EXPECT_EQ(recording.lengthMs, -1) << recording.name;
    }
}

TEST(FolderTimesTest, CamerasOnOtherZonesAreTimedByTheirOwnLocalTime) {
    // Cards of a camera set to Tokyo time and one set to New York time, read on a machine in
    // Berlin: the names are local times of their own, kept as they are, and their FAT times
    // are the same local times, so both are timed.
    ScopedTimeZone zone("Europe/Berlin");
    const CivilTime tokyo{2024, 3, 5, 18, 0, 0};
    const CivilTime newYork{2024, 3, 5, 4, 0, 0};
    std::vector<FoundFile> files;
    AddBlackVue(files, tokyo, tokyo.ToSeconds() + 60);
    AddBlackVue(files, newYork, newYork.ToSeconds() + 120);
    const auto list = folderscan::Group(kRoot, files);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].start, newYork);
    EXPECT_EQ(list[0].lengthMs, 120000);
    EXPECT_EQ(list[1].start, tokyo);
    EXPECT_EQ(list[1].lengthMs, 60000);
}

} // namespace

#include "storage/CivilTime.h"
#include "storage/FolderScanner.h"
#include "tests/support/ScopedTimeZone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

// Folder recordings' lengths from their files' modification times and their names' local
// start times, under both readings of the file times.
namespace {

using folderscan::FoundFile;

// A BlackVue recording's front and rear file, closed at these times (seconds since 1970).
void Add(std::vector<FoundFile>& files, const CivilTime& start, int64_t front, int64_t rear = 0) {
    char stem[40];
    std::snprintf(stem, sizeof stem, "Record/%04d%02d%02d_%02d%02d%02d_N", start.year, start.month,
                  start.day, start.hour, start.minute, start.second);
    files.push_back({std::string(stem) + "F.mp4", 1000, front});
    files.push_back({std::string(stem) + "R.mp4", 500, rear > 0 ? rear : front});
}

// The lengths of the listing's recordings in the order they were added (starts ascending).
std::vector<int64_t> Lengths(const std::vector<FoundFile>& files) {
    std::vector<int64_t> lengths;
    for (const DashcamRecording& recording : folderscan::Group("/cam", files))
        lengths.push_back(recording.lengthMs);
    return lengths;
}

int64_t Utc(int month, int day, int hour, int minute, int second) {
    return CivilTime{2024, month, day, hour, minute, second}.ToSeconds();
}

TEST(FolderTimesTest, TrueUtcAndCardTimesInBerlinAndNewYork) {
    {
        ScopedTimeZone zone("Europe/Berlin");
        std::vector<FoundFile> files;
        Add(files, {2024, 3, 5, 9, 7, 2}, Utc(3, 5, 8, 8, 2));  // CET: 60 s as true UTC
        Add(files, {2024, 7, 5, 9, 7, 2}, Utc(7, 5, 7, 8, 32)); // CEST: 90 s
        // A card of a camera set to Tokyo time: its name and its FAT times are its own local
        // time, kept as they are.
        const CivilTime tokyo{2024, 8, 5, 18, 0, 0};
        Add(files, tokyo, tokyo.ToSeconds() + 59);
        EXPECT_EQ(Lengths(files), (std::vector<int64_t>{60000, 90000, 59000}));
        const auto list = folderscan::Group("/cam", files);
        EXPECT_EQ(list[2].start, tokyo);
        EXPECT_EQ(list[0].mtime, Utc(3, 5, 8, 8, 2));
    }
    {
        // The night the clocks go forward (02:00 EST is 03:00 EDT): before, across, after.
        ScopedTimeZone zone("America/New_York");
        std::vector<FoundFile> files;
        Add(files, {2024, 3, 10, 1, 30, 0}, Utc(3, 10, 6, 31, 0));
        Add(files, {2024, 3, 10, 1, 59, 30}, Utc(3, 10, 7, 0, 30));
        Add(files, {2024, 3, 10, 3, 30, 0}, Utc(3, 10, 7, 31, 0));
        Add(files, {2024, 3, 10, 9, 0, 0}, Utc(3, 10, 9, 3, 0)); // the card's time
        EXPECT_EQ(Lengths(files), (std::vector<int64_t>{60000, 60000, 60000, 180000}));
    }
    {
        // Within 15 minutes of UTC both readings fit, and the zone's wins (UTC+0:05: 100 s as
        // the card's time, 400 s as true UTC).
        ScopedTimeZone zone("FIV-0:05");
        std::vector<FoundFile> files;
        Add(files, {2024, 3, 5, 9, 0, 0}, Utc(3, 5, 9, 1, 40));
        EXPECT_EQ(Lengths(files), std::vector<int64_t>{400000});
    }
}

TEST(FolderTimesTest, TimesThatDoNotFitLeaveTheLengthUnknown) {
    ScopedTimeZone zone("Europe/Berlin");
    const CivilTime start{2024, 3, 5, 9, 7, 2};
    const int64_t closed = Utc(3, 5, 8, 8, 2); // 60 s after the start
    std::vector<FoundFile> files;
    Add(files, start, closed + 7 * 86400);                                // copied a week later
    Add(files, start.Plus(600), start.Plus(599).ToSeconds());             // before its start
    Add(files, start.Plus(3600), start.Plus(3600 + 16 * 60).ToSeconds()); // 16 minutes
    Add(files, start.Plus(7200), closed + 7 * 86400, closed + 7200);      // the rear kept its time
    EXPECT_EQ(Lengths(files), (std::vector<int64_t>{-1, -1, -1, 60000}));

    // A file that is not played (Nextbase's low-quality copy) times nothing; a plain file has
    // no start from its name.
    const std::vector<FoundFile> others = {{"240305_090702_001_FH.MP4", 1000, closed + 86400},
                                           {"240305_090702_001_FL.MP4", 100, closed},
                                           {"trip.mov", 1000, closed}};
    EXPECT_EQ(Lengths(others), (std::vector<int64_t>{-1, -1}));
}

} // namespace

// Drives (trips) of a dash-cam folder of 5,000 one-minute recordings, from what its listing
// knows (no file opened):
//   listing to trips: folderscan::Group over the walk's 10,200 files (a front and a rear file
//   per recording, 100 event recordings among them, the times a camera's card shows), each
//   recording's length from its files' times, then trips::Group; against a budget of 200 ms;
//   trips::Group alone over the listing's 5,100 items.
// Prints Google Benchmark's medians of five repetitions, then both medians in ms.
#include "BenchSupport.h"
#include "storage/CivilTime.h"
#include "storage/FolderScanner.h"
#include "storage/TripGrouping.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRecordings = 5000;
constexpr int kDrives = 25;                     // 200 recordings each
constexpr int64_t kParkedSeconds = 3 * 60 * 60; // between two drives
constexpr char kRoot[] = "/media/card";

// The files of a camera's card: BlackVue names a minute apart, front and rear, closed a
// minute (a few seconds less at the end of a drive) after their start, in the card's FAT time
// (the camera's local time shown as UTC); every 50th recording an event of its own beside
// the normal one, and every 97th recording's rear without a time of its own (copied).
std::vector<folderscan::FoundFile> MakeListing() {
    std::vector<folderscan::FoundFile> files;
    files.reserve(kRecordings * 2 + kRecordings / 25);
    int64_t start = CivilTime{2024, 3, 5, 7, 0, 0}.ToSeconds();
    const auto add = [&files](const CivilTime& at, char category, int64_t closed,
                              int64_t rearClosed) {
        char stem[40];
        std::snprintf(stem, sizeof stem, "Record/%04d%02d%02d_%02d%02d%02d_%c", at.year, at.month,
                      at.day, at.hour, at.minute, at.second, category);
        files.push_back({std::string(stem) + "F.mp4", 90 << 20, closed});
        files.push_back({std::string(stem) + "R.mp4", 30 << 20, rearClosed});
    };
    for (int i = 0; i < kRecordings; ++i) {
        if (i > 0 && i % (kRecordings / kDrives) == 0)
            start += kParkedSeconds;
        const CivilTime at = CivilTime::FromSeconds(start);
        const bool lastOfDrive = (i + 1) % (kRecordings / kDrives) == 0;
        const int64_t closed = start + (lastOfDrive ? 37 : 60);
        add(at, 'N', closed, i % 97 == 0 ? closed + 86400 * 30 : closed);
        if (i % 50 == 25)
            add(at.Plus(20), 'E', start + 40, start + 40);
        start += 60;
    }
    return files;
}

std::vector<trips::Item> ItemsOf(const std::vector<DashcamRecording>& list) {
    std::vector<trips::Item> items;
    items.reserve(list.size());
    for (const DashcamRecording& recording : list)
        items.push_back(
            {recording.start.ToSeconds() * 1000, recording.lengthMs, recording.category});
    return items;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const std::vector<folderscan::FoundFile> files = MakeListing();
    const std::vector<DashcamRecording> listed = folderscan::Group(kRoot, files);
    const std::vector<trips::Item> items = ItemsOf(listed);
    const size_t tripCount = trips::Group(items).size();
    size_t timed = 0;
    for (const DashcamRecording& recording : listed)
        timed += recording.lengthMs >= 0 ? 1 : 0;
    std::printf("listing: %zu files, %zu recordings (%zu timed), %zu trips\n", files.size(),
                listed.size(), timed, tripCount);
    if (tripCount != static_cast<size_t>(kDrives) || timed != listed.size()) {
        std::fprintf(stderr, "the listing does not give the drives it was made of\n");
        return 1;
    }

    ConfigureRepeated(
        benchmark::RegisterBenchmark("BM_ListingToTrips", [&](benchmark::State& state) {
            for (auto _ : state) {
                const std::vector<DashcamRecording> list = folderscan::Group(kRoot, files);
                if (trips::Group(ItemsOf(list)).size() != tripCount)
                    state.SkipWithError("the trips changed");
            }
        }));
    ConfigureRepeated(benchmark::RegisterBenchmark("BM_TripsGroup", [&](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(trips::Group(items));
    }));

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintMedian("listing to trips, 5,000 recordings (budget 200 ms)", "BM_ListingToTrips");
    std::printf("trips::Group alone, 5,000 recordings = %.3f ms\n",
                reporter.MedianSeconds("BM_TripsGroup") * 1000.0);
    benchmark::Shutdown();
    return 0;
}

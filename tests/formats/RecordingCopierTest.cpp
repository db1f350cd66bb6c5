#include "formats/RecordingCopier.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

DashcamRecording MakeRecording(const TempDir& source) {
    std::filesystem::create_directories(source.File("Sentry"));
    WriteFileText(source.File("Sentry/2024-03-05_09-07-front.mp4"), std::string(3u << 20, 'f'));
    WriteFileText(source.File("Sentry/2024-03-05_09-07-back.mp4"), "rear");
    WriteFileText(source.File("Sentry/event.json"), "{}");
    return folderscan::Scan(source.Path().string()).at(0);
}

std::vector<std::string> Listing(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(RecordingCopierTest, CopiesEveryOriginalFileWhole) {
    TempDir source;
    TempDir target;
    const DashcamRecording recording = MakeRecording(source);
    ASSERT_EQ(recording.AllFiles().size(), 3u);
    WriteFileText(target.File("2024-03-05_09-07-back.mp4"), "older copy");

    int64_t lastWritten = 0;
    int64_t lastTotal = 0;
    RecordingCopier copier;
    const ExportReport report =
        copier.CopyToFolder(recording, target.Path().string(), [&](int64_t written, int64_t total) {
            lastWritten = written;
            lastTotal = total;
            return true;
        });
    ASSERT_EQ(report.outcome, ExportReport::Outcome::kComplete) << report.reason;
    EXPECT_EQ(report.bytes, (3u << 20) + 4u + 2u);
    EXPECT_EQ(lastWritten, lastTotal);
    EXPECT_EQ(Listing(target),
              (std::vector<std::string>{"2024-03-05_09-07-back.mp4", "2024-03-05_09-07-front.mp4",
                                        "2024-03-05_09-07_event.json"}));
    EXPECT_EQ(ReadFileText(target.File("2024-03-05_09-07-back.mp4")), "rear");
    EXPECT_EQ(ReadFileText(target.File("2024-03-05_09-07-front.mp4")), std::string(3u << 20, 'f'));
}

TEST(RecordingCopierTest, CancelAndRefusalsLeaveOlderFilesAndNoTemporaryOnes) {
    TempDir source;
    TempDir target;
    const DashcamRecording recording = MakeRecording(source);
    WriteFileText(target.File("2024-03-05_09-07-front.mp4"), "older copy");
    RecordingCopier copier;
    // Cancelled in the middle of the (first) front file.
    const ExportReport cancelled = copier.CopyToFolder(
        recording, target.Path().string(), [](int64_t written, int64_t) { return written < 1024; });
    EXPECT_EQ(cancelled.outcome, ExportReport::Outcome::kCancelled);
    EXPECT_EQ(Listing(target), std::vector<std::string>{"2024-03-05_09-07-front.mp4"});
    EXPECT_EQ(ReadFileText(target.File("2024-03-05_09-07-front.mp4")), "older copy");

    // Into its own folder: the originals are never written over.
    const ExportReport own = copier.CopyToFolder(recording, source.File("Sentry"),
                                                 [](int64_t, int64_t) { return true; });
    EXPECT_EQ(own.outcome, ExportReport::Outcome::kFailed);
    EXPECT_NE(own.reason.find("original"), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(source.File("Sentry/2024-03-05_09-07-front.mp4")),
              3u << 20);

    // A folder that is not there, a file that vanished.
    EXPECT_EQ(copier.CopyToFolder(recording, target.File("missing"), {}).outcome,
              ExportReport::Outcome::kFailed);
    std::filesystem::remove(source.File("Sentry/event.json"));
    const ExportReport partial = copier.CopyToFolder(recording, target.Path().string(), {});
    EXPECT_EQ(partial.outcome, ExportReport::Outcome::kIncomplete);
    EXPECT_NE(partial.reason.find("event.json"), std::string::npos);
}

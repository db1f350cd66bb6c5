#include "telemetry/Mp4File.h"
#include "telemetry/MemoryByteSource.h"
#include "tests/support/TelemetryTestFiles.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string_view>

namespace {

using namespace telemetryfiles;

size_t FindType(const Bytes& file, std::string_view type) {
    const auto at = std::search(file.begin(), file.end(), type.begin(), type.end());
    EXPECT_NE(at, file.end()) << type;
    return static_cast<size_t>(at - file.begin());
}

void SetU32BE(Bytes& file, size_t at, uint32_t value) {
    Bytes word;
    PutU32BE(word, value);
    std::copy(word.begin(), word.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
}

} // namespace

// A sample table of a few bytes may claim a million samples of one size in one chunk; only
// those that lie in the file are taken, so a small hostile file cannot make a huge table.
TEST(Mp4FileTest, SamplesEndWhereTheFileEnds) {
    Bytes file = Mp4WithTrack("meta", "gpmd", 1000, {Bytes(8, 1), Bytes(8, 2), Bytes(8, 3)}, 100);
    {
        MemoryByteSource source(file.data(), file.size());
        Mp4File mp4;
        ASSERT_TRUE(mp4.Open(source));
        ASSERT_EQ(mp4.Tracks().size(), 1u);
        EXPECT_EQ(mp4.Tracks()[0].samples.size(), 3u);
    }
    const size_t stsz = FindType(file, "stsz") + 4 + 4; // type, version and flags
    SetU32BE(file, stsz, 8);                            // every sample 8 bytes
    SetU32BE(file, stsz + 4, 1000000);
    const size_t stsc = FindType(file, "stsc") + 4 + 4 + 4 + 12; // the second run
    SetU32BE(file, stsc + 4, 1000000);

    MemoryByteSource source(file.data(), file.size());
    Mp4File mp4;
    ASSERT_TRUE(mp4.Open(source));
    const std::vector<Mp4Track> tracks = mp4.Tracks();
    ASSERT_EQ(tracks.size(), 1u);
    const std::vector<Mp4Sample>& samples = tracks[0].samples;
    ASSERT_GE(samples.size(), 3u);
    const uint64_t secondChunk = samples[1].offset;
    EXPECT_EQ(samples.size(), 1 + (file.size() - secondChunk) / 8);
    for (const Mp4Sample& sample : samples)
        EXPECT_LE(sample.offset + sample.size, file.size());
}

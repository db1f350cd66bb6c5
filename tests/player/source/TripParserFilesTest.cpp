// The trip parser over three consecutive two-second clips (H.264 with B-frames, AAC sound)
// made by ffmpeg and read by the parser of dash-cam folders: pictures and sound run on across
// the boundaries, the pictures decode one by one in order across them, and seeks land in the
// file of the time.
#include "player/decoder/CFFMH264_Decoder.h"
#include "player/source/CDashcamParser.h"
#include "player/source/CTripParser.h"
#include "storage/FolderScanner.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int64_t kPeriodUs = 1000000 / 30;
constexpr int64_t kBlockUs = 40000; // 3,840 bytes of 48 kHz 16-bit mono

struct Packet {
    StreamKind kind;
    bool key;
    int64_t timeUs;
    std::vector<uint8_t> bytes;
};

} // namespace

TEST(TripParserFiles, PicturesAndSoundRunOnAcrossTheFilesAndSeeksLandInTheirFile) {
    TempDir dir;
    for (const char* name : {"090000", "090002", "090004"})
        ASSERT_TRUE(MakeClip(dir.File(std::string("Record/20240305_") + name + "_NF.mp4"), {}));
    std::vector<DashcamRecording> recordings = folderscan::Scan(dir.Path().string());
    std::sort(recordings.begin(), recordings.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    // The offsets from the exact lengths, as the drive's owner lays them out.
    std::vector<TripSegment> segments;
    for (const DashcamRecording& recording : recordings) {
        CDashcamParser probe;
        probe.SetRecordings(recordings);
        ASSERT_EQ(probe.Open(recording.name, nullptr), 1);
        const int64_t offset =
            segments.empty() ? 0 : segments.back().offsetUs + segments.back().lengthUs;
        segments.push_back({recording.name, offset, std::llround(probe.DurationSeconds() * 1e6)});
    }
    ASSERT_EQ(segments.size(), 3u);
    CTripParser trip([recordings] {
        auto parser = std::make_unique<CDashcamParser>();
        parser->SetRecordings(recordings);
        return parser;
    });
    trip.SetSegments(segments);
    ASSERT_TRUE(trip.Start());
    OpenInfo info;
    ASSERT_EQ(trip.Open("drive", &info), 1);
    EXPECT_EQ(info.frontFrameCount, 180);

    std::vector<Packet> all;
    std::vector<uint8_t> buffer(kPacketBufferSize);
    MediaPacket packet;
    while (trip.Read(buffer.data(), kPacketBufferSize, packet))
        all.push_back({packet.kind, packet.keyFrame, packet.timeUs,
                       std::vector<uint8_t>(packet.payload, packet.payload + packet.size)});
    EXPECT_EQ(trip.LastReadEnd(), ReadEnd::kEnded);
    std::vector<int64_t> shown;
    std::vector<int64_t> sound;
    for (const Packet& p : all)
        (p.kind == FrontVideo ? shown : sound).push_back(p.timeUs);
    // In the order shown (B-frames come reordered), each picture follows the one before
    // within two periods, across the boundaries too.
    std::sort(shown.begin(), shown.end());
    ASSERT_EQ(shown.size(), 180u);
    int64_t widest = 0;
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_GT(shown[i], shown[i - 1]) << i;
        widest = std::max(widest, shown[i] - shown[i - 1]);
    }
    EXPECT_LE(widest, 2 * kPeriodUs);
    EXPECT_NEAR(static_cast<double>(shown.back()), 6e6 - kPeriodUs, 1000.0);
    // The sound goes on block after block: no gap wider than a block beyond the pictures'
    // widest step, no overlap longer than a block.
    ASSERT_GT(sound.size(), 140u);
    for (size_t i = 1; i < sound.size(); ++i) {
        const int64_t gap = sound[i] - (sound[i - 1] + kBlockUs);
        EXPECT_LE(gap, kBlockUs + widest - kPeriodUs) << sound[i];
        EXPECT_GE(gap, -kBlockUs) << sound[i];
    }
    // Decoded in packet order, one picture comes out for each packet, in time order.
    CFFMH264_Decoder decoder;
    ASSERT_TRUE(decoder.Open());
    std::vector<int64_t> decoded;
    for (const Packet& p : all)
        if (p.kind == FrontVideo &&
            decoder.Decode(p.bytes.data(), static_cast<int32_t>(p.bytes.size()), p.timeUs))
            decoded.push_back(decoder.PictureTimeUs());
    while (decoder.DrainOne())
        decoded.push_back(decoder.PictureTimeUs());
    EXPECT_EQ(decoded, shown);

    // Seeks land on the key frame (every half second) at or before the time, in its file.
    for (const float seconds : {3.0f, 5.0f, 1.0f, 4.0f}) {
        ASSERT_EQ(trip.SeekTime(seconds), 0) << seconds;
        do
            ASSERT_TRUE(trip.Read(buffer.data(), kPacketBufferSize, packet));
        while (packet.kind != FrontVideo);
        EXPECT_TRUE(packet.keyFrame) << seconds;
        EXPECT_NEAR(static_cast<double>(packet.timeUs), seconds * 1e6, 1000.0) << seconds;
    }
}

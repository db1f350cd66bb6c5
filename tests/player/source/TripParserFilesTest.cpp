// The trip parser over three consecutive two-second clips (H.264 with B-frames, AAC sound)
// made by ffmpeg and read by the parser of dash-cam folders: pictures and sound run on across
// the boundaries, the pictures decode in order across them, and a seek lands in the right file.
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

class TripParserFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir();
        for (const char* name :
             {"20240305_090000_NF.mp4", "20240305_090002_NF.mp4", "20240305_090004_NF.mp4"})
            ASSERT_TRUE(MakeClip(s_dir->File(std::string("Record/") + name), {}));
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override {
        m_recordings = folderscan::Scan(s_dir->Path().string());
        std::sort(
            m_recordings.begin(), m_recordings.end(),
            [](const DashcamRecording& a, const DashcamRecording& b) { return a.name < b.name; });
        ASSERT_EQ(m_recordings.size(), 3u);
        // The offsets from the exact lengths, as the drive's owner computes them.
        std::vector<TripSegment> segments;
        int64_t offset = 0;
        for (const DashcamRecording& recording : m_recordings) {
            CDashcamParser probe;
            probe.SetRecordings(m_recordings);
            ASSERT_EQ(probe.Open(recording.name, nullptr), 1);
            const auto length = static_cast<int64_t>(std::llround(probe.DurationSeconds() * 1e6));
            segments.push_back({recording.name, offset, length});
            offset += length;
        }
        m_endUs = offset;
        const std::vector<DashcamRecording> recordings = m_recordings;
        m_trip = std::make_unique<CTripParser>([recordings] {
            auto parser = std::make_unique<CDashcamParser>();
            parser->SetRecordings(recordings);
            return parser;
        });
        m_trip->SetSegments(segments);
        ASSERT_TRUE(m_trip->Start());
    }

    std::vector<Packet> ReadAll() {
        std::vector<Packet> all;
        MediaPacket packet;
        while (m_trip->Read(m_buffer.data(), kPacketBufferSize, packet))
            all.push_back({packet.kind, packet.keyFrame, packet.timeUs,
                           std::vector<uint8_t>(packet.payload, packet.payload + packet.size)});
        return all;
    }

    static TempDir* s_dir;
    std::vector<DashcamRecording> m_recordings;
    std::unique_ptr<CTripParser> m_trip;
    int64_t m_endUs = 0;
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(kPacketBufferSize);
};

TempDir* TripParserFilesTest::s_dir = nullptr;

} // namespace

TEST_F(TripParserFilesTest, PicturesAndSoundRunOnAcrossTheFiles) {
    OpenInfo info;
    ASSERT_EQ(m_trip->Open("drive", &info), 1);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_NEAR(static_cast<double>(m_endUs), 6e6, 1000.0);
    EXPECT_EQ(info.frontFrameCount, 180);
    int32_t bits = 0;
    int32_t rate = 0;
    m_trip->GetAudioFormat(bits, rate);
    EXPECT_EQ(rate, 48000);

    const std::vector<Packet> all = ReadAll();
    EXPECT_EQ(m_trip->LastReadEnd(), ReadEnd::kEnded);
    std::vector<int64_t> front;
    std::vector<int64_t> sound;
    for (const Packet& p : all)
        (p.kind == FrontVideo ? front : sound).push_back(p.timeUs);
    ASSERT_EQ(front.size(), 180u);
    // In the order shown, each picture follows the one before within two periods, across the
    // boundaries too.
    std::vector<int64_t> shown = front;
    std::sort(shown.begin(), shown.end());
    int64_t widest = 0;
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_GT(shown[i], shown[i - 1]) << i;
        EXPECT_LE(shown[i] - shown[i - 1], 2 * kPeriodUs) << i;
        widest = std::max(widest, shown[i] - shown[i - 1]);
    }
    EXPECT_NEAR(static_cast<double>(shown.front()), 0.0, 1000.0);
    EXPECT_NEAR(static_cast<double>(shown.back()), 6e6 - kPeriodUs, 1000.0);
    // The sound goes on block after block: no gap wider than a block beyond the pictures' own
    // widest step, none overlapping by more than a block.
    ASSERT_GT(sound.size(), 140u);
    for (size_t i = 1; i < sound.size(); ++i) {
        const int64_t gap = sound[i] - (sound[i - 1] + kBlockUs);
        EXPECT_LE(gap, kBlockUs + widest - kPeriodUs) << i << " at " << sound[i];
        EXPECT_GE(gap, -kBlockUs) << i << " at " << sound[i];
    }
    EXPECT_GE(sound.back() + kBlockUs, 6000000 - 2 * kBlockUs);

    // Decoded in packet order, the pictures come out one for each packet, in time order,
    // across the boundaries.
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
}

TEST_F(TripParserFilesTest, SeeksLandInTheFileOfTheTime) {
    ASSERT_EQ(m_trip->Open("drive", nullptr), 1);
    for (const float seconds : {3.0f, 5.0f, 1.0f, 4.0f}) {
        ASSERT_EQ(m_trip->SeekTime(seconds), 0) << seconds;
        MediaPacket packet;
        do
            ASSERT_TRUE(m_trip->Read(m_buffer.data(), kPacketBufferSize, packet));
        while (packet.kind != FrontVideo);
        EXPECT_TRUE(packet.keyFrame) << seconds;
        // Key frames every half second: the one at or before the time.
        EXPECT_LE(packet.timeUs, static_cast<int64_t>(seconds * 1e6f) + 1000) << seconds;
        EXPECT_GE(packet.timeUs, static_cast<int64_t>(seconds * 1e6f) - 501000) << seconds;
    }
    // Played on from there to the end: every picture after the last seek's.
    const std::vector<Packet> rest = ReadAll();
    const auto pictures = std::count_if(rest.begin(), rest.end(),
                                        [](const Packet& p) { return p.kind == FrontVideo; });
    EXPECT_NEAR(static_cast<double>(pictures), 59.0, 1.0);
}

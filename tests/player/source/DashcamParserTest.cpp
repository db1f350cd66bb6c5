// The parser of dash-cam folders over clips made by ffmpeg: two cameras side by side in time
// order with their codings, key frames and rates, the sound at its own rate, no text packets
// for side-file telemetry, seeking, and damaged files.
#include "player/source/CDashcamParser.h"
#include "storage/FolderScanner.h"
#include "tests/support/DashcamClips.h"
#include "tests/support/PacketLabel.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Chunk {
    std::string id;
    int32_t size = 0;
    int key = -1;
    int64_t timeUs = 0;
};

std::vector<Chunk> ReadAll(CDashcamParser& parser, size_t most = 100000) {
    std::vector<Chunk> chunks;
    std::vector<uint8_t> buffer(kPacketBufferSize);
    while (chunks.size() < most) {
        MediaPacket packet;
        if (!parser.Read(buffer.data(), kPacketBufferSize, packet))
            break;
        chunks.push_back(
            {PacketLabel(packet), packet.size, packet.keyFrame ? 1 : 0, packet.timeUs});
    }
    return chunks;
}

size_t Count(const std::vector<Chunk>& chunks, const std::string& id) {
    size_t n = 0;
    for (const Chunk& c : chunks)
        n += c.id == id ? 1u : 0u;
    return n;
}

// One folder for the suite: clips are made once.
class DashcamParserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir();
        const std::string record = s_dir->File("Record/");
        ASSERT_TRUE(MakeClip(record + "20240305_090702_NF.mp4", {}));
        ClipSpec rear;
        rear.codec = "libx265";
        rear.rate = "25";
        rear.audioRate = 0;
        ASSERT_TRUE(MakeClip(record + "20240305_090702_NR.mp4", rear));
        WriteFileText(record + "20240305_090702_N.gps",
                      "[1709629622000]$GNRMC,090702.00,A,3733.0000,N,12658.0000,E,10.0,90.0,"
                      "050324,,,A*48\n"
                      "[1709629623000]$GSENSOR,0.5,0,1*57\n");
        ClipSpec ntsc;
        ntsc.rate = "30000/1001";
        ntsc.audioRate = 44100;
        ntsc.audioCodec = "pcm_s16le";
        ASSERT_TRUE(MakeClip(s_dir->File("other/drive.mov"), ntsc));
        ClipSpec ts;
        ts.codec = "libx265";
        ASSERT_TRUE(MakeClip(s_dir->File("cut/2024_0305_100000_0001F.TS"), ts));
        ASSERT_TRUE(CutFile(s_dir->File("cut/2024_0305_100000_0001F.TS"), 20000));
        ASSERT_TRUE(MakeClip(s_dir->File("cut/2024_0305_110000_0002F.MP4"), {}));
        ASSERT_TRUE(CutFile(s_dir->File("cut/2024_0305_110000_0002F.MP4"), 3000));
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override { m_parser.SetRecordings(folderscan::Scan(s_dir->Path().string())); }

    static TempDir* s_dir;
    CDashcamParser m_parser;
};

TempDir* DashcamParserTest::s_dir = nullptr;

} // namespace

TEST_F(DashcamParserTest, ReadsBothCamerasInTimeOrderWithSound) {
    OpenInfo info;
    ASSERT_EQ(m_parser.Open("20240305_090702_N", &info), 1);
    EXPECT_FALSE(m_parser.Damaged());
    EXPECT_EQ(m_parser.VideoChannels(), 2);
    EXPECT_EQ(m_parser.GetVideoCodec(0), VideoCodec::kH264);
    EXPECT_EQ(m_parser.GetVideoCodec(1), VideoCodec::kHevc);
    EXPECT_EQ(m_parser.GetFrameRate(0), 30);
    EXPECT_EQ(m_parser.GetFrameRate(1), 25);
    EXPECT_EQ(info.frontFrameCount, 60);
    EXPECT_EQ(info.rearFrameCount, 50);
    EXPECT_EQ(m_parser.GetVideoSize(1).width, 160);
    int32_t bits = 0;
    int32_t rate = 0;
    m_parser.GetAudioFormat(bits, rate);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(rate, 48000);

    const std::vector<Chunk> chunks = ReadAll(m_parser);
    EXPECT_EQ(m_parser.LastReadEnd(), ReadEnd::kEnded);
    EXPECT_EQ(Count(chunks, "00dc"), 60u);
    EXPECT_EQ(Count(chunks, "01dc"), 50u);
    // Two seconds of 48 kHz mono, 16-bit, in whole blocks.
    EXPECT_NEAR(static_cast<double>(Count(chunks, "02wb")), 2.0 * 48000 * 2 / 3840, 2.0);
    // The side file's fix and G-sensor line are not handed out: the window reads them itself.
    EXPECT_EQ(Count(chunks, "03tx"), 0u);
    EXPECT_EQ(chunks.size(), Count(chunks, "00dc") + Count(chunks, "01dc") + Count(chunks, "02wb"));

    // Side by side: the rear camera's first packet comes among the front camera's first ones.
    size_t front = 0;
    size_t frontAtFirstRear = 0;
    for (const Chunk& c : chunks) {
        if (c.id == "00dc")
            ++front;
        if (c.id == "01dc" && frontAtFirstRear == 0)
            frontAtFirstRear = front;
    }
    EXPECT_LE(frontAtFirstRear, 2u);

    const auto firstFront =
        std::find_if(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.id == "00dc"; });
    ASSERT_NE(firstFront, chunks.end());
    EXPECT_EQ(firstFront->key, 1);
    EXPECT_EQ(std::count_if(chunks.begin(), chunks.end(),
                            [](const Chunk& c) { return c.id == "00dc" && c.key == 1; }),
              4); // a key frame every 15
}

TEST_F(DashcamParserTest, SeeksAllFilesToTheKeyFrameBefore) {
    ASSERT_EQ(m_parser.Open("20240305_090702_N", nullptr), 1);
    ReadAll(m_parser, 40);
    ASSERT_EQ(m_parser.SeekTime(1.2f), 0);
    const std::vector<Chunk> chunks = ReadAll(m_parser);
    const auto firstFront =
        std::find_if(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.id == "00dc"; });
    ASSERT_NE(firstFront, chunks.end());
    EXPECT_EQ(firstFront->key, 1);
    EXPECT_EQ(Count(chunks, "00dc"), 30u); // from the key frame at 1.0 s
    EXPECT_NEAR(static_cast<double>(Count(chunks, "01dc")), 25.0, 3.0);
    EXPECT_EQ(m_parser.SeekTime(std::nanf("")), -1);
}

TEST_F(DashcamParserTest, OneFileAtItsOwnRatesAndTheSoundsOwnQuality) {
    OpenInfo info;
    ASSERT_EQ(m_parser.Open(s_dir->File("other/drive.mov"), &info), 1);
    EXPECT_EQ(m_parser.VideoChannels(), 1);
    EXPECT_EQ(m_parser.GetFrameRate(0), 30); // 29.97
    EXPECT_EQ(m_parser.GetFrameRate(1), 0);
    int32_t bits = 0;
    int32_t rate = 0;
    m_parser.GetAudioFormat(bits, rate);
    EXPECT_EQ(rate, 44100);
    const std::vector<Chunk> chunks = ReadAll(m_parser);
    EXPECT_NEAR(static_cast<double>(Count(chunks, "00dc")), 60.0, 1.0);
    EXPECT_NEAR(static_cast<double>(Count(chunks, "02wb")), 2.0 * 44100 * 2 / 3840, 2.0);
}

TEST_F(DashcamParserTest, DamagedFilesPlayAsFarAsTheyReadOrNotAtAll) {
    ASSERT_EQ(m_parser.Open("2024_0305_100000_0001", nullptr), 1);
    EXPECT_TRUE(m_parser.Damaged());
    EXPECT_EQ(m_parser.GetVideoCodec(0), VideoCodec::kHevc);
    const std::vector<Chunk> chunks = ReadAll(m_parser);
    EXPECT_GT(Count(chunks, "00dc"), 0u);
    EXPECT_LT(Count(chunks, "00dc"), 60u);
    EXPECT_EQ(m_parser.LastReadEnd(), ReadEnd::kFailed);

    // An MP4 whose index never came does not open; nothing is read.
    EXPECT_EQ(m_parser.Open("2024_0305_110000_0002", nullptr), 0);
    std::vector<uint8_t> buffer(16);
    MediaPacket packet;
    EXPECT_FALSE(m_parser.Read(buffer.data(), 16, packet));
    EXPECT_EQ(m_parser.Open("no such recording", nullptr), 0);
    EXPECT_EQ(m_parser.SeekTime(1.0f), -1);
}

namespace {

// The times of the packets of one kind, in ascending order.
std::vector<int64_t> SortedTimes(const std::vector<Chunk>& chunks, const std::string& id) {
    std::vector<int64_t> times;
    for (const Chunk& c : chunks)
        if (c.id == id)
            times.push_back(c.timeUs);
    std::sort(times.begin(), times.end());
    return times;
}

} // namespace

TEST_F(DashcamParserTest, StatesThePresentationTimesOfPicturesAndSound) {
    ASSERT_EQ(m_parser.Open("20240305_090702_N", nullptr), 1);
    std::vector<Chunk> chunks = ReadAll(m_parser);
    // Pictures come in decoding order (B-frames are reordered) and carry the times they are
    // shown at: front at 30 fps, rear at 25 fps.
    const std::vector<int64_t> front = SortedTimes(chunks, "00dc");
    ASSERT_EQ(front.size(), 60u);
    for (size_t k = 0; k < front.size(); ++k)
        EXPECT_NEAR(static_cast<double>(front[k]), static_cast<double>(k) * 1e6 / 30, 1000.0) << k;
    const std::vector<int64_t> rear = SortedTimes(chunks, "01dc");
    ASSERT_EQ(rear.size(), 50u);
    for (size_t k = 0; k < rear.size(); ++k)
        EXPECT_NEAR(static_cast<double>(rear[k]), static_cast<double>(k) * 1e6 / 25, 1000.0) << k;
    bool reordered = false;
    int64_t previous = -1;
    for (const Chunk& c : chunks)
        if (c.id == "00dc") {
            reordered = reordered || c.timeUs < previous;
            previous = c.timeUs;
        }
    EXPECT_TRUE(reordered) << "the clip has B-frames: times are not in packet order";
    // Sound blocks of 40 ms (3,840 bytes at 48 kHz) follow one another from the start.
    int64_t expected = -1;
    for (const Chunk& c : chunks) {
        if (c.id != "02wb")
            continue;
        if (expected < 0)
            EXPECT_NEAR(static_cast<double>(c.timeUs), 0.0, 25000.0);
        else
            EXPECT_NEAR(static_cast<double>(c.timeUs), static_cast<double>(expected), 1.0);
        expected = c.timeUs + 40000;
    }

    // After a seek the times go on from the key frame landed on.
    ASSERT_EQ(m_parser.SeekTime(1.2f), 0);
    chunks = ReadAll(m_parser);
    EXPECT_NEAR(static_cast<double>(SortedTimes(chunks, "00dc").front()), 1e6, 1000.0);

    // 29.97 fps: the pictures' own times, not whole-rate counts.
    ASSERT_EQ(m_parser.Open(s_dir->File("other/drive.mov"), nullptr), 1);
    const std::vector<int64_t> ntsc = SortedTimes(ReadAll(m_parser), "00dc");
    ASSERT_GE(ntsc.size(), 59u);
    EXPECT_NEAR(static_cast<double>(ntsc[59]), 59 * 1001e6 / 30000, 1000.0);
}

namespace {

// A car's cameras, each its own size so that the channels can be told apart; no sound.
void MakeCarFolder(const std::string& folder, const std::vector<std::string>& cameras) {
    for (size_t c = 0; c < cameras.size(); ++c) {
        ClipSpec spec;
        spec.width = 160 + 16 * static_cast<int>(c);
        spec.height = 96;
        spec.rate = "36";
        spec.audioRate = 0;
        ASSERT_TRUE(MakeClip(folder + "2024-03-05_09-07-02-" + cameras[c] + ".mp4", spec));
    }
}

struct CarPacket {
    int channel = 0;
    StreamKind kind = NoPacket;
    bool key = false;
    int64_t timeUs = 0;
};

std::vector<CarPacket> ReadCar(CDashcamParser& parser) {
    std::vector<CarPacket> packets;
    std::vector<uint8_t> buffer(kPacketBufferSize);
    MediaPacket packet;
    while (parser.Read(buffer.data(), kPacketBufferSize, packet))
        packets.push_back({packet.channel, packet.kind, packet.keyFrame, packet.timeUs});
    return packets;
}

} // namespace

TEST(DashcamParserCarTest, ReadsFourAndSixCamerasAsChannelsInTimeOrder) {
    TempDir dir;
    const std::vector<std::string> six = {"front",          "back",        "left_repeater",
                                          "right_repeater", "left_pillar", "right_pillar"};
    // Four cameras: the pillars missing; files made in another order than they play.
    MakeCarFolder(dir.File("TeslaCam/RecentClips/"),
                  {"right_repeater", "front", "left_repeater", "back"});
    MakeCarFolder(dir.File("TeslaCam/SavedClips/2024-03-05_09-10-00/"), six);
    const std::vector<DashcamRecording> list = folderscan::Scan(dir.Path().string());
    ASSERT_EQ(list.size(), 2u);

    for (const DashcamRecording& recording : list) {
        const size_t cameras = recording.Pictures().size();
        SCOPED_TRACE(cameras);
        ASSERT_TRUE(cameras == 4 || cameras == 6);
        CDashcamParser parser;
        parser.SetRecordings({recording});
        OpenInfo info;
        ASSERT_EQ(parser.Open(recording.name, &info), 1);
        EXPECT_FALSE(parser.Damaged());
        ASSERT_EQ(parser.VideoChannels(), static_cast<int>(cameras));
        // Channel c plays the c-th camera of the car's order: told apart by their widths.
        const std::vector<std::string> words = recording.CameraWords();
        for (int c = 0; c < CDashcamParser::kMaxCameras; ++c) {
            if (c >= static_cast<int>(cameras)) {
                EXPECT_EQ(parser.GetVideoSize(c).width, 0);
                EXPECT_EQ(parser.GetFrameRate(c), 0);
                continue;
            }
            EXPECT_EQ(words[static_cast<size_t>(c)], six[static_cast<size_t>(c)]);
            const auto made = cameras == 6 ? c
                              : c == 0     ? 1
                              : c == 1     ? 3
                              : c == 2     ? 2
                                           : 0; // the position in the making order
            EXPECT_EQ(parser.GetVideoSize(c).width, 160 + 16 * made) << c;
            EXPECT_EQ(parser.GetVideoSize(c).height, 96);
            EXPECT_EQ(parser.GetFrameRate(c), 36);
            EXPECT_EQ(parser.GetVideoCodec(c), VideoCodec::kH264);
        }
        EXPECT_EQ(info.frontFrameCount, 72);
        EXPECT_EQ(info.rearFrameCount, 72);

        const std::vector<CarPacket> packets = ReadCar(parser);
        EXPECT_EQ(parser.LastReadEnd(), ReadEnd::kEnded);
        std::vector<int> counts(cameras, 0);
        std::vector<int64_t> firstUs(cameras, INT64_MAX);
        std::vector<int64_t> latestUs(cameras, -1);
        for (const CarPacket& p : packets) {
            ASSERT_GE(p.channel, 0);
            ASSERT_LT(p.channel, static_cast<int>(cameras));
            EXPECT_EQ(p.kind, p.channel == 0 ? FrontVideo : RearVideo);
            const auto c = static_cast<size_t>(p.channel);
            if (counts[c] == 0) {
                EXPECT_TRUE(p.key) << "channel " << c << " starts with a key frame";
            }
            ++counts[c];
            firstUs[c] = std::min(firstUs[c], p.timeUs);
            latestUs[c] = std::max(latestUs[c], p.timeUs);
            // Interleaved by time: no camera runs ahead of another by more than the
            // reordering of a few pictures (a period is 27.8 ms).
            for (size_t other = 0; other < cameras; ++other) {
                if (latestUs[other] >= 0) {
                    EXPECT_LT(std::llabs(latestUs[c] - latestUs[other]), 200000)
                        << "channel " << c << " against " << other;
                }
            }
        }
        for (size_t c = 0; c < cameras; ++c) {
            EXPECT_EQ(counts[c], 72) << c;
            EXPECT_EQ(firstUs[c], 0) << "every camera counts from its first picture";
            EXPECT_NEAR(static_cast<double>(latestUs[c]), 71e6 / 36, 1000.0);
        }

        // A seek moves every camera to its key frame before the time.
        ASSERT_EQ(parser.SeekTime(1.0f), 0);
        const std::vector<CarPacket> after = ReadCar(parser);
        std::vector<bool> seen(cameras, false);
        for (const CarPacket& p : after) {
            const auto c = static_cast<size_t>(p.channel);
            if (!seen[c]) {
                EXPECT_TRUE(p.key) << c;
                EXPECT_LE(p.timeUs, 1000000) << c;
                EXPECT_GE(p.timeUs, 1000000 - 15 * 1000000 / 36 - 1000) << c;
                seen[c] = true;
            }
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), static_cast<long>(cameras));
    }
}

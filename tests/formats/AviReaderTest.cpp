// Reading AVI recordings back: round trips through the writer, the seek table, and damaged
// files.
#include "base/ByteOrder.h"
#include "base/DiagLog.h"
#include "formats/CAVIExtractor.h"
#include "formats/ChunkId.h"
#include "tests/support/AviTestFiles.h"
#include "tests/support/TempDir.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct ReadBack {
    std::vector<std::string> ids;
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<int64_t> positions;
};

// Reads media chunks until the index or the end.
ReadBack ReadAll(CAVIExtractor& reader) {
    ReadBack out;
    std::vector<uint8_t> buffer(kPacketBufferSize);
    char id[5];
    for (;;) {
        int32_t size = kPacketBufferSize;
        const int64_t at = reader.ReadChunk(id, buffer.data(), size);
        if (at < 0 || !IsMediaChunkId(id))
            break;
        out.ids.emplace_back(id);
        out.payloads.emplace_back(buffer.begin(), buffer.begin() + size);
        out.positions.push_back(at);
    }
    return out;
}

class AviRoundTrip : public ::testing::TestWithParam<bool> {};

TEST_P(AviRoundTrip, EveryChunkComesBackInOrderWithTheIndex) {
    const bool twoChannel = GetParam();
    TempDir dir;
    const std::string path = dir.File("rec.avi");
    const std::vector<TestPacket> packets = MakeTestPackets(45, twoChannel);
    TestLayout layout;
    layout.twoChannel = twoChannel;
    layout.rearRate = 15;
    WriteTestAvi(path, layout, packets);

    CAVIExtractor reader;
    OpenInfo info;
    ASSERT_GT(reader.Open(path, &info), 0);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.frontFrameCount, 45);
    EXPECT_EQ(info.rearFrameRate, twoChannel ? 15 : 0);
    EXPECT_EQ(info.rearFrameCount, twoChannel ? 45 : 0);
    EXPECT_EQ(reader.VideoStreamCount(), twoChannel ? 2 : 1);
    EXPECT_EQ(reader.GetVideoSize(0).width, 1280);
    EXPECT_EQ(reader.GetVideoSize(0).height, 720);
    EXPECT_EQ(reader.GetVideoSize(1).width, twoChannel ? 640 : 0);
    EXPECT_EQ(reader.GetFrameRate(1), twoChannel ? 15 : 0);
    int32_t bits = 0;
    int32_t rate = 0;
    reader.GetAudioFormat(bits, rate);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(rate, 8000);

    const ReadBack back = ReadAll(reader);
    ASSERT_EQ(back.payloads.size(), packets.size());
    const char* const kinds[4] = {"dc", "dc", "wb", "tx"};
    std::vector<uint32_t> frontPositions;
    for (size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(back.payloads[i], packets[i].bytes) << "chunk " << i;
        EXPECT_EQ(back.ids[i].substr(2), kinds[packets[i].slot]);
        const StreamKind expected = packets[i].slot == 0   ? FrontVideo
                                    : packets[i].slot == 1 ? RearVideo
                                    : packets[i].slot == 2 ? Audio
                                                           : Text;
        EXPECT_EQ(StreamKindFromChunkId(back.ids[i].c_str()), expected);
        if (packets[i].slot == 0)
            frontPositions.push_back(static_cast<uint32_t>(back.positions[i]) | kFrameOffsetFlag);
    }
    EXPECT_EQ(info.frontFrameOffsets, frontPositions);
    EXPECT_EQ(reader.SeekTable(), frontPositions);

    // Read gives the same packets stamped with the camera's counted times, and passes over
    // the index after the movi data; after a seek the count starts at the frame landed on.
    std::vector<uint8_t> buffer(kPacketBufferSize);
    ASSERT_GT(reader.Open(path, &info), 0);
    MediaPacket packet;
    int64_t front = 0;
    size_t read = 0;
    while (reader.Read(buffer.data(), kPacketBufferSize, packet)) {
        ASSERT_LT(read, packets.size());
        EXPECT_EQ(std::vector<uint8_t>(packet.payload, packet.payload + packet.size),
                  packets[read].bytes);
        if (packet.kind == FrontVideo) {
            EXPECT_EQ(packet.timeUs, front++ * 1000000 / 30) << "chunk " << read;
        } else if (packet.kind != Audio) {
            EXPECT_EQ(packet.timeUs, std::max<int64_t>(front - 1, 0) * 1000000 / 30);
        }
        EXPECT_EQ(packet.channel, packet.kind == RearVideo ? 1 : 0);
        ++read;
    }
    EXPECT_EQ(read, packets.size());
    EXPECT_EQ(packet.kind, EndOfStream);
    EXPECT_EQ(reader.LastReadEnd(), ReadEnd::kEnded);
    ASSERT_EQ(reader.SeekTime(1.0f), 0);
    ASSERT_TRUE(reader.Read(buffer.data(), kPacketBufferSize, packet));
    EXPECT_EQ(packet.kind, FrontVideo);
    EXPECT_EQ(packet.timeUs, 1000000);
}

INSTANTIATE_TEST_SUITE_P(Layouts, AviRoundTrip, ::testing::Bool());

TEST(AviReader, EmptyExportReadsAsEmpty) {
    TempDir dir;
    const std::string path = dir.File("empty.avi");
    WriteTestAvi(path, TestLayout{}, {});
    CAVIExtractor reader;
    OpenInfo info;
    EXPECT_EQ(reader.Open(path, &info), 4);
    EXPECT_EQ(info.frontFrameCount, 0);
    EXPECT_TRUE(ReadAll(reader).ids.empty());
    EXPECT_EQ(reader.SeekTime(0.0f), -1);
}

TEST(AviReader, OddChunksAndCapacityEdges) {
    TempDir dir;
    const std::string path = dir.File("odd.avi");
    WriteTestAvi(path, TestLayout{}, {{0, {1, 2, 3, 4, 5, 6, 7}}, {0, {8, 9}}});
    CapturedLines lines;
    const DiagLog log = lines.MakeLog();
    CAVIExtractor reader;
    reader.SetDiagLog(&log);
    ASSERT_GT(reader.Open(path, nullptr), 0);
    uint8_t buffer[16];
    char id[5];
    int32_t size = 7; // the pad byte makes the chunk 8 bytes: too small
    EXPECT_EQ(reader.ReadChunk(id, buffer, size), -1);
    EXPECT_TRUE(lines.Contains("Wrong Size 7 < 7\n"));
    EXPECT_EQ(reader.Tell(), 532 + 8); // just behind the size field

    ASSERT_EQ(reader.Seek(532, 0), 0);
    size = 8;
    EXPECT_EQ(reader.ReadChunk(id, buffer, size), 532);
    EXPECT_EQ(size, 7);
    EXPECT_EQ(buffer[6], 7);
    size = 16;
    EXPECT_EQ(reader.ReadChunk(id, buffer, size), 532 + 16); // 8 header + 8 body
    EXPECT_EQ(size, 2);
    EXPECT_EQ(buffer[1], 9);
}

// After the last chunk of a whole file reading has ended; a file cut short, or a chunk that
// does not fit, is a failed read.
TEST(AviReader, TellsTheEndOfTheFileFromAFailedRead) {
    TempDir dir;
    const std::string path = dir.File("whole.avi");
    WriteTestAvi(path, TestLayout{}, MakeTestPackets(10, true));
    const std::vector<uint8_t> whole = ReadFileBytes(path);
    const size_t moviEnd = 532 - 4 + LoadU32LE(whole.data() + 532 - 8);
    std::vector<uint8_t> buffer(kPacketBufferSize);
    // Reads every chunk (the index too) and says how the reads ended.
    auto endOf = [&](const std::string& file, int32_t capacity) {
        CAVIExtractor reader;
        EXPECT_GT(reader.Open(file, nullptr), 0);
        char id[5];
        int32_t size = capacity;
        while (reader.ReadChunk(id, buffer.data(), size) >= 0)
            size = capacity;
        return reader.LastReadEnd();
    };
    EXPECT_EQ(endOf(path, kPacketBufferSize), ReadEnd::kEnded);
    EXPECT_EQ(endOf(path, 16), ReadEnd::kFailed);
    // Cut inside a chunk, at a chunk's start within the movi list, and inside the index.
    for (const size_t length : {size_t{600}, size_t{532}, moviEnd + 20}) {
        const std::string cut = dir.File("cut.avi");
        WriteFileBytes(cut, std::vector<uint8_t>(whole.data(), whole.data() + length));
        EXPECT_EQ(endOf(cut, kPacketBufferSize), ReadEnd::kFailed) << length;
    }
    // Without its index a file still ends where its movi list does.
    const std::string noIndex = dir.File("no-index.avi");
    WriteFileBytes(noIndex, std::vector<uint8_t>(whole.data(), whole.data() + moviEnd));
    EXPECT_EQ(endOf(noIndex, kPacketBufferSize), ReadEnd::kEnded);
}

// A two-channel file whose front stream claims `rate` (in frames per second × 1000 / 1000).
std::string WriteFramesAt(TempDir& dir, int32_t rate, int frames) {
    const std::string path = dir.File("rate.avi");
    std::vector<TestPacket> packets;
    for (int f = 0; f < frames; ++f) {
        packets.push_back({0, {static_cast<uint8_t>(f), static_cast<uint8_t>(f >> 8)}});
        packets.push_back({1, {0xEE}});
    }
    TestLayout layout;
    layout.frontRate = rate;
    WriteTestAvi(path, layout, packets);
    return path;
}

int FrameAtPosition(CAVIExtractor& reader) {
    uint8_t buffer[16];
    char id[5];
    int32_t size = sizeof buffer;
    if (reader.ReadChunk(id, buffer, size) < 0 || std::strcmp(id, "00dc") != 0)
        return -1;
    return buffer[0] | buffer[1] << 8;
}

TEST(AviReader, SeekTimeUsesTheStoredRate) {
    TempDir dir;
    const std::string path = WriteFramesAt(dir, 60, 150);
    CAVIExtractor reader;
    OpenInfo info;
    ASSERT_GT(reader.Open(path, &info), 0);
    EXPECT_EQ(reader.StoredFrameRate(0), 60);
    EXPECT_EQ(reader.GetFrameRate(0), 30);
    EXPECT_EQ(info.frontFrameRate, 30);
    ASSERT_EQ(reader.SeekTime(2.0f), 0);
    EXPECT_EQ(FrameAtPosition(reader), 120);
    ASSERT_EQ(reader.SeekTime(0.0f), 0);
    EXPECT_EQ(FrameAtPosition(reader), 0);
    ASSERT_EQ(reader.SeekTime(2.4999f), 0);
    EXPECT_EQ(FrameAtPosition(reader), 149);

    // Out of range or not a number: -1 and the position stays.
    const int64_t before = reader.Tell();
    const float bad[] = {2.5f, 100.0f, -0.1f, std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity()};
    for (float seconds : bad) {
        EXPECT_EQ(reader.SeekTime(seconds), -1) << seconds;
        EXPECT_EQ(reader.Tell(), before);
    }
}

TEST(AviReader, SeekTimeWithoutIndexFails) {
    TempDir dir;
    const std::string path = WriteFramesAt(dir, 30, 10);
    CAVIExtractor reader;
    ASSERT_GT(reader.Open(path, nullptr), 0); // no OpenInfo: no seek table
    const int64_t before = reader.Tell();
    EXPECT_EQ(reader.SeekTime(0.0f), -1);
    EXPECT_EQ(reader.Tell(), before);
}

// Builds a file by hand: RIFF, a header list made of `header`, then a movi list of `movi`
// and an index chunk of `index`.
struct RawAvi {
    std::vector<uint8_t> bytes;
    void Id(const char* s) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(s[i]));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    size_t Mark() const { return bytes.size(); }
    void PatchU32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
};

void VideoStrl(RawAvi& avi, uint32_t rate, int32_t width, int32_t height, uint32_t strfSize = 40) {
    avi.Id("LIST");
    avi.U32(4 + 8 + 56 + 8 + strfSize);
    avi.Id("strl");
    avi.Id("strh");
    avi.U32(56);
    const size_t strh = avi.Mark();
    avi.Zeros(56);
    std::memcpy(avi.bytes.data() + strh, "vids", 4);
    avi.PatchU32(strh + 24, rate);
    avi.Id("strf");
    avi.U32(strfSize);
    const size_t strf = avi.Mark();
    avi.Zeros(strfSize);
    if (strfSize >= 12) {
        avi.PatchU32(strf + 4, static_cast<uint32_t>(width));
        avi.PatchU32(strf + 8, static_cast<uint32_t>(height));
    }
}

// A header with the given video streams; returns the file with movi and index appended.
// The index holds `front` entries "00dc" and `rear` entries "01dc" pointing at one chunk.
std::vector<uint8_t> HandMadeAvi(int videoStreams, int front, int rear) {
    RawAvi avi;
    avi.Id("RIFF");
    avi.U32(0);
    avi.Id("AVI ");
    avi.Id("LIST");
    const size_t hdrlSize = avi.Mark();
    avi.U32(0);
    avi.Id("hdrl");
    avi.Id("avih");
    avi.U32(56);
    avi.Zeros(56);
    for (int s = 0; s < videoStreams; ++s)
        VideoStrl(avi, 30000u + 1000u * static_cast<uint32_t>(s), 100 + s, 50 + s);
    avi.PatchU32(hdrlSize, static_cast<uint32_t>(avi.Mark() - hdrlSize - 4));
    avi.Id("LIST");
    avi.U32(4 + 8 + 2);
    const size_t movi = avi.Mark();
    avi.Id("movi");
    avi.Id("00dc");
    avi.U32(2);
    avi.Zeros(2);
    avi.Id("idx1");
    avi.U32(16u * static_cast<uint32_t>(front + rear));
    for (int i = 0; i < front + rear; ++i) {
        avi.Id(i < front ? "00dc" : "01dc");
        avi.U32(0x10);
        avi.U32(4);
        avi.U32(2);
    }
    (void)movi;
    return avi.bytes;
}

TEST(AviReader, IndexCountsFrontAndRearFrames) {
    TempDir dir;
    const std::string path = dir.File("index.avi");
    WriteFileBytes(path, HandMadeAvi(2, 300, 295));
    CAVIExtractor reader;
    OpenInfo info;
    ASSERT_TRUE(reader.BuildIndex(path, info));
    EXPECT_EQ(info.frontFrameCount, 300);
    EXPECT_EQ(info.rearFrameCount, 295);
    ASSERT_EQ(info.frontFrameOffsets.size(), 300u);
    // Every entry points at the one chunk, right after the "movi" word.
    const std::vector<uint8_t> file = ReadFileBytes(path);
    const uint32_t chunk = info.frontFrameOffsets[0] & ~kFrameOffsetFlag;
    EXPECT_EQ(std::memcmp(file.data() + chunk, "00dc", 4), 0);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.rearFrameRate, 30); // 31 stored, capped
}

TEST(AviReader, ThirdVideoStreamLandsOnTheRearEntry) {
    TempDir dir;
    const std::string path = dir.File("three.avi");
    WriteFileBytes(path, HandMadeAvi(3, 1, 0));
    CAVIExtractor reader;
    ASSERT_GT(reader.Open(path, nullptr), 0);
    EXPECT_EQ(reader.VideoStreamCount(), 2);
    EXPECT_EQ(reader.GetVideoSize(1).width, 102);
    EXPECT_EQ(reader.StoredFrameRate(1), 32);
    EXPECT_EQ(reader.GetVideoSize(0).width, 100);
}

TEST(AviReader, OversizedIndexLeavesNoSeekTable) {
    TempDir dir;
    const std::string path = dir.File("big-index.avi");
    WriteFileBytes(path, HandMadeAvi(1, 32001, 0));
    CapturedLines lines;
    const DiagLog log = lines.MakeLog();
    CAVIExtractor reader;
    reader.SetDiagLog(&log);
    OpenInfo info;
    EXPECT_FALSE(reader.BuildIndex(path, info));
    EXPECT_TRUE(lines.Contains("Wrong Size 512000 < 512016\n"));
    EXPECT_EQ(info.frontFrameCount, 0);
    EXPECT_GT(reader.Open(path, &info), 0); // still plays, without seeking
    EXPECT_EQ(reader.SeekTime(0.0f), -1);
}

TEST(AviReader, DamagedHeadersAreRejected) {
    TempDir dir;
    const std::string path = dir.File("damaged.avi");
    const std::vector<uint8_t> good = HandMadeAvi(2, 1, 1);
    CAVIExtractor reader;

    auto opens = [&](const std::vector<uint8_t>& bytes) {
        WriteFileBytes(path, bytes);
        return reader.Open(path, nullptr);
    };
    ASSERT_GT(opens(good), 0);

    std::vector<uint8_t> bad = good;
    bad[0] = 'X'; // not RIFF
    EXPECT_EQ(opens(bad), 0);
    bad = good;
    bad[8] = 'X'; // not AVI
    EXPECT_EQ(opens(bad), 0);
    bad = good;
    bad[28] = 55; // avih size
    EXPECT_EQ(opens(bad), 0);
    bad = good;
    bad[104] = 57; // strh size
    EXPECT_EQ(opens(bad), 0);
    bad = good;
    bad[168] = 44; // video strf size
    EXPECT_EQ(opens(bad), 0);

    // Every truncation of the header fails cleanly.
    for (size_t n = 0; n < 264; ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(opens(cut), 0) << "cut at " << n;
    }
    EXPECT_EQ(reader.Open(dir.File("missing.avi"), nullptr), 0);
}

TEST(AviReader, AudioFormatMustBeSixteenBytes) {
    TempDir dir;
    const std::string path = dir.File("audio.avi");
    WriteTestAvi(path, TestLayout{}, {});
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    CAVIExtractor reader;
    ASSERT_EQ(std::memcmp(bytes.data() + 412, "strf", 4), 0);
    bytes[416] = 18;
    WriteFileBytes(path, bytes);
    EXPECT_EQ(reader.Open(path, nullptr), 0);
}

TEST(AviReader, HostileSizesNeverReadOutOfBounds) {
    TempDir dir;
    const std::string path = dir.File("hostile.avi");
    CapturedLines lines;
    const DiagLog log = lines.MakeLog();
    CAVIExtractor reader;
    reader.SetDiagLog(&log);
    std::vector<uint8_t> buffer(kPacketBufferSize);
    char id[5];

    // A chunk whose size runs past the end of the file.
    std::vector<uint8_t> bytes = HandMadeAvi(1, 1, 0);
    const size_t chunk = bytes.size() - 16 - 8 - 10; // the one "00dc" chunk
    ASSERT_EQ(std::memcmp(bytes.data() + chunk, "00dc", 4), 0);
    bytes[chunk + 4] = 0xF0;
    bytes[chunk + 5] = 0xFF;
    WriteFileBytes(path, bytes);
    ASSERT_GT(reader.Open(path, nullptr), 0);
    int32_t size = kPacketBufferSize;
    EXPECT_EQ(reader.ReadChunk(id, buffer.data(), size), -1);
    EXPECT_EQ(size, kPacketBufferSize);

    // A size beyond any capacity, and a chunk header cut short.
    bytes[chunk + 7] = 0xFF;
    bytes[chunk + 6] = 0xFF;
    WriteFileBytes(path, bytes);
    ASSERT_GT(reader.Open(path, nullptr), 0);
    size = kPacketBufferSize;
    EXPECT_EQ(reader.ReadChunk(id, buffer.data(), size), -1);
    ASSERT_EQ(reader.Seek(-3, 2), 0);
    MediaPacket packet;
    EXPECT_FALSE(reader.Read(buffer.data(), kPacketBufferSize, packet));
    EXPECT_EQ(reader.LastReadEnd(), ReadEnd::kFailed);
    EXPECT_TRUE(lines.Contains("Read Header Failed\n"));

    // A movi size that points before or past the index.
    for (uint32_t movi : {0u, 2u, 0x7FFFFFF0u}) {
        bytes = HandMadeAvi(1, 1, 0);
        const size_t moviSize = chunk - 8;
        bytes[moviSize] = static_cast<uint8_t>(movi);
        bytes[moviSize + 1] = static_cast<uint8_t>(movi >> 8);
        bytes[moviSize + 2] = static_cast<uint8_t>(movi >> 16);
        bytes[moviSize + 3] = static_cast<uint8_t>(movi >> 24);
        WriteFileBytes(path, bytes);
        OpenInfo info;
        EXPECT_FALSE(reader.BuildIndex(path, info)) << movi;
    }

    // An index entry that points outside the file.
    bytes = HandMadeAvi(1, 2, 0);
    const size_t secondEntry = bytes.size() - 16;
    bytes[secondEntry + 8] = 0xFF;
    bytes[secondEntry + 9] = 0xFF;
    bytes[secondEntry + 10] = 0xFF;
    WriteFileBytes(path, bytes);
    OpenInfo info;
    ASSERT_GT(reader.Open(path, &info), 0);
    EXPECT_EQ(reader.SeekTime(0.0f), 0);
    EXPECT_EQ(reader.SeekTime(1.0f / 30.0f + 0.001f), -1);
}

TEST(AviReader, DeepListNestingIsRejectedNotRecursedInto) {
    TempDir dir;
    const std::string path = dir.File("nested.avi");
    RawAvi avi;
    avi.Id("RIFF");
    avi.U32(0);
    avi.Id("AVI ");
    avi.Id("LIST");
    avi.U32(0x7FFFFFFF);
    for (int i = 0; i < 100000; ++i) {
        avi.Id("LIST");
        avi.U32(0x7FFFFFF0);
    }
    WriteFileBytes(path, avi.bytes);
    CAVIExtractor reader;
    EXPECT_EQ(reader.Open(path, nullptr), 0);
}

} // namespace

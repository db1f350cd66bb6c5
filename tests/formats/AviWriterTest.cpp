// The bytes the AVI writer puts on disk, and how it reports failures.
#include "base/ByteOrder.h"
#include "base/DiagLog.h"
#include "formats/CAVIWriter.h"
#include "tests/support/AviTestFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string FourCcAt(const std::vector<uint8_t>& file, size_t at) {
    return std::string(reinterpret_cast<const char*>(file.data() + at), 4);
}

// Chunk ids of the movi list in file order, walking from the first chunk.
std::vector<std::string> MoviIds(const std::vector<uint8_t>& file, size_t firstChunk) {
    const uint32_t moviSize = LoadU32LE(file.data() + firstChunk - 8);
    const size_t end = firstChunk - 4 + moviSize;
    std::vector<std::string> ids;
    for (size_t at = firstChunk; at + 8 <= end;) {
        ids.push_back(FourCcAt(file, at));
        const uint32_t size = LoadU32LE(file.data() + at + 4);
        at += 8 + size + (size & 1u);
    }
    return ids;
}

struct LayoutCase {
    bool twoChannel;
    size_t firstChunk;
    std::vector<std::string> ids; // by slot 0, 1, 2, 3
};

class AviWriterLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(AviWriterLayout, HeaderSizesChunkIdsAndIndex) {
    const LayoutCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("out.avi");
    std::vector<TestPacket> packets = {
        {0, {1, 2, 3, 4, 5, 6, 7}}, {2, {9, 9}}, {3, {'M', 1, 2, 3}}};
    if (c.twoChannel)
        packets.insert(packets.begin() + 1, TestPacket{1, {8, 8, 8}});
    TestLayout layout;
    layout.twoChannel = c.twoChannel;
    WriteTestAvi(path, layout, packets);
    const std::vector<uint8_t> file = ReadFileBytes(path);

    EXPECT_EQ(FourCcAt(file, 0), "RIFF");
    EXPECT_EQ(LoadU32LE(file.data() + 4), file.size() - 8);
    EXPECT_EQ(FourCcAt(file, c.firstChunk - 4), "movi");
    EXPECT_EQ(LoadU32LE(file.data() + 16), c.firstChunk - 32);       // hdrl list size
    EXPECT_EQ(LoadU32LE(file.data() + 24 + 8 + 16), packets.size()); // avih total frames

    std::vector<std::string> expected;
    for (const TestPacket& p : packets)
        expected.push_back(c.ids[static_cast<size_t>(p.slot)]);
    EXPECT_EQ(MoviIds(file, c.firstChunk), expected);

    // First chunk: the 7-byte payload with its size unrounded and a zero pad byte.
    EXPECT_EQ(LoadU32LE(file.data() + c.firstChunk + 4), 7u);
    EXPECT_EQ(file[c.firstChunk + 8 + 7], 0);

    // Index: offsets from the "movi" word, sizes rounded to even.
    const uint32_t moviSize = LoadU32LE(file.data() + c.firstChunk - 8);
    const size_t idx = c.firstChunk - 4 + moviSize;
    ASSERT_EQ(FourCcAt(file, idx), "idx1");
    ASSERT_EQ(LoadU32LE(file.data() + idx + 4), 16 * packets.size());
    uint32_t offset = 4;
    for (size_t i = 0; i < packets.size(); ++i) {
        const uint8_t* entry = file.data() + idx + 8 + 16 * i;
        const uint32_t even = static_cast<uint32_t>(packets[i].bytes.size() + 1) & ~1u;
        EXPECT_EQ(FourCcAt(file, idx + 8 + 16 * i), expected[i]);
        EXPECT_EQ(LoadU32LE(entry + 4), 0x10u);
        EXPECT_EQ(LoadU32LE(entry + 8), offset);
        EXPECT_EQ(LoadU32LE(entry + 12), even);
        offset += even + 8;
    }
    EXPECT_EQ(idx + 8 + 16 * packets.size(), file.size());
}

INSTANTIATE_TEST_SUITE_P(Layouts, AviWriterLayout,
                         ::testing::Values(LayoutCase{false, 408, {"00dc", "00dc", "01wb", "02tx"}},
                                           LayoutCase{true, 532, {"00dc", "01dc", "02wb", "03tx"}}),
                         [](const auto& p) {
                             return p.param.twoChannel ? "TwoChannel" : "OneChannel";
                         });

TEST(AviWriter, ExportWithNoChunksIsComplete) {
    TempDir dir;
    const std::string path = dir.File("empty.avi");
    WriteTestAvi(path, TestLayout{}, {});
    const std::vector<uint8_t> file = ReadFileBytes(path);
    ASSERT_EQ(file.size(), 532u + 8u);
    EXPECT_EQ(FourCcAt(file, 532), "idx1");
    EXPECT_EQ(LoadU32LE(file.data() + 536), 0u);
    EXPECT_EQ(LoadU32LE(file.data() + 528 - 4), 4u); // movi size counts only "movi"
    // Stream lengths are stated as 1 for video and text, so averages stay defined.
    const size_t strh[] = {108, 232}; // body of each video strh
    for (size_t at : strh) {
        EXPECT_EQ(FourCcAt(file, at), "vids");
        EXPECT_EQ(LoadU32LE(file.data() + at + 32), 1u);
    }
    EXPECT_EQ(FourCcAt(file, 456), "txts");
    EXPECT_EQ(LoadU32LE(file.data() + 456 + 32), 1u);
}

TEST(AviWriter, FinalHeaderCarriesRatesCountsAndSizes) {
    TempDir dir;
    const std::string path = dir.File("out.avi");
    TestLayout layout;
    layout.frontRate = 30;
    layout.rearRate = 15;
    WriteTestAvi(path, layout, MakeTestPackets(20, true));
    const std::vector<uint8_t> file = ReadFileBytes(path);
    // avih width and height are the front stream's.
    EXPECT_EQ(LoadU32LE(file.data() + 64), 1280u);
    EXPECT_EQ(LoadU32LE(file.data() + 68), 720u);
    EXPECT_EQ(LoadU32LE(file.data() + 108 + 24), 30000u); // front rate
    EXPECT_EQ(LoadU32LE(file.data() + 108 + 32), 20u);    // front length
    EXPECT_EQ(LoadU32LE(file.data() + 232 + 24), 15000u); // rear rate
    EXPECT_EQ(LoadU32LE(file.data() + 232 + 32), 20u);
    EXPECT_EQ(LoadU16LE(file.data() + 232 + 52), 640u); // rear frame rectangle
    EXPECT_EQ(LoadU16LE(file.data() + 232 + 54), 360u);
    EXPECT_EQ(FourCcAt(file, 356), "auds");
    EXPECT_EQ(LoadU32LE(file.data() + 356 + 32), 2u * 3840u / 2u); // samples written
}

// A file system that stands in for the disk: counts bytes, can fail writes and closes.
class FakeFileSystem final : public VFileSystem {
public:
    size_t failAfter = SIZE_MAX; // bytes accepted before writes come up short
    bool failClose = false;
    size_t written = 0;
    bool open = false;

    bool Open(const char*, const char*) override {
        if (open)
            return false;
        open = true;
        return true;
    }
    size_t Write(const void*, size_t count) override {
        const size_t room = failAfter > written ? failAfter - written : 0;
        const size_t n = count < room ? count : room;
        written += n;
        return n;
    }
    bool Close() override {
        open = false;
        return !failClose;
    }
    int Seek(int64_t, int) override { return 0; }
    bool IsOpen() const override { return open; }
};

TEST(AviWriter, ShortWriteFailsTheChunkAndTheFile) {
    auto fs = std::make_unique<FakeFileSystem>();
    FakeFileSystem* disk = fs.get();
    CapturedLines lines;
    const DiagLog log = lines.MakeLog();
    CAVIWriter writer(std::move(fs));
    writer.SetDiagLog(&log);
    ASSERT_TRUE(writer.Create("x.avi"));
    const std::vector<uint8_t> payload(100, 7);
    ASSERT_TRUE(writer.AddData(payload.data(), 100, 0));
    disk->failAfter = disk->written + 8 + 40; // the next chunk's body comes up short
    EXPECT_FALSE(writer.AddData(payload.data(), 100, 0));
    EXPECT_TRUE(lines.Contains("CAVIWriter::AddDataBody error 40 != 100\n"));
    disk->failAfter = SIZE_MAX;
    EXPECT_FALSE(writer.AddData(payload.data(), 100, 0)); // the file is already damaged
    EXPECT_EQ(writer.Close(), 0u);
    EXPECT_FALSE(disk->open);
}

TEST(AviWriter, FailedCloseIsNotReportedAsWritten) {
    auto fs = std::make_unique<FakeFileSystem>();
    fs->failClose = true;
    CAVIWriter writer(std::move(fs));
    ASSERT_TRUE(writer.Create("x.avi"));
    const uint8_t payload[4] = {1, 2, 3, 4};
    ASSERT_TRUE(writer.AddData(payload, 4, 0));
    EXPECT_EQ(writer.Close(), 0u);
}

TEST(AviWriter, RefusesChunksPastFourGibibytes) {
    CAVIWriter writer(std::make_unique<FakeFileSystem>());
    ASSERT_TRUE(writer.Create("x.avi"));
    const std::vector<uint8_t> payload(1 << 20, 1);
    int accepted = 0;
    while (writer.AddData(payload.data(), static_cast<int32_t>(payload.size()), 0))
        ++accepted;
    EXPECT_EQ(accepted, 4095); // 4095 MiB of chunks, header and index still fit in 4 GiB
    EXPECT_NE(writer.Close(), 0u);
}

TEST(AviWriter, MisuseIsRefused) {
    TempDir dir;
    CapturedLines lines;
    const DiagLog log = lines.MakeLog();
    CAVIWriter writer;
    writer.SetDiagLog(&log);
    const uint8_t payload[2] = {1, 2};
    EXPECT_FALSE(writer.AddData(payload, 2, 0));
    EXPECT_TRUE(lines.Contains("[CAVIWriter] AddData : File is already closed\n"));
    EXPECT_EQ(writer.Close(), 0u);
    EXPECT_FALSE(writer.Create(dir.File("no/such/folder/x.avi")));

    ASSERT_TRUE(writer.Create(dir.File("a.avi")));
    EXPECT_FALSE(writer.Create(dir.File("b.avi"))); // one file at a time
    EXPECT_TRUE(lines.Contains("[CFSNormal] FP is Already Opened\n"));
    EXPECT_FALSE(writer.AddData(payload, 2, 4)); // no stream behind slot 4
    EXPECT_FALSE(writer.AddData(payload, 2, -1));
    EXPECT_FALSE(writer.AddData(payload, -2, 0));
    EXPECT_NE(writer.Close(), 0u);
    // The writer serves the next file.
    ASSERT_TRUE(writer.Create(dir.File("c.avi")));
    EXPECT_TRUE(writer.AddData(payload, 2, 0));
    EXPECT_NE(writer.Close(), 0u);
}

} // namespace

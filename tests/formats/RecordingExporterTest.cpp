// Exporting a recording from a parser into an AVI file: what is copied, how cancelling, failed
// reads and failed writes end, which names become file names, and which targets are refused.
#include "formats/CAVIExtractor.h"
#include "formats/CRecordingExporter.h"
#include "formats/ChunkId.h"
#include "formats/CountedTimes.h"
#include "tests/support/AviTestFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Chunk {
    std::string id; // empty: a read that delivers nothing
    std::vector<uint8_t> payload;
};

// A parser that hands out a fixed list of chunks, then -1 with the given kind of end.
class ScriptedParser final : public VMediaParser {
public:
    std::vector<Chunk> chunks;
    ReadEnd end = ReadEnd::kEnded;
    OpenInfo info;
    VideoSize front{1280, 720};
    VideoSize rear{640, 360};
    bool failOpen = false;
    int opens = 0;
    int closes = 0;
    std::string opened;

    bool Start() override { return true; }
    void Stop() override {}
    int64_t Open(const std::string& name, OpenInfo* out) override {
        ++opens;
        opened = name;
        m_next = 0;
        m_times.Restart(0);
        if (failOpen)
            return 0;
        if (out != nullptr)
            *out = info;
        return 1;
    }
    void Close() override { ++closes; }
    // The chunks as packets of their id's kind, timed as the camera counts them.
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override {
        packet = MediaPacket{};
        packet.kind = EndOfStream;
        if (m_next >= chunks.size())
            return false;
        const Chunk& chunk = chunks[m_next++];
        if (static_cast<int32_t>(chunk.payload.size()) > capacity)
            return false;
        if (!chunk.payload.empty())
            std::memcpy(buffer, chunk.payload.data(), chunk.payload.size());
        packet.kind = chunk.id.empty() ? NoPacket : StreamKindFromChunkId(chunk.id.c_str());
        packet.channel = packet.kind == RearVideo ? ChunkStreamNumber(chunk.id.c_str()) : 0;
        packet.size = static_cast<int32_t>(chunk.payload.size());
        packet.payload = buffer;
        if (packet.kind != NoPacket) {
            if (m_next == 1)
                m_times.SetFormat(info.frontFrameRate, 16, 8000, 3840);
            packet.timeUs = m_times.Stamp(packet.kind, packet.size);
        }
        return true;
    }
    ReadEnd LastReadEnd() const override { return end; }
    VideoSize GetVideoSize(int stream) override { return stream == 0 ? front : rear; }
    int32_t GetFrameRate(int stream) override {
        return stream == 0 ? info.frontFrameRate : info.rearFrameRate;
    }
    void GetAudioFormat(int32_t& bits, int32_t& rate) override {
        bits = 16;
        rate = 8000;
    }
    int SeekTime(float) override { return -1; }

private:
    size_t m_next = 0;
    CountedTimes m_times;
};

// `frames` frames at 10 fps: front, rear (when two-channel), a text line, a read with nothing,
// and a sound block every 4 frames. Payload sizes vary and include odd ones.
void Script(ScriptedParser& parser, int frames, bool twoChannel, int declared = -1) {
    parser.info.frontFrameRate = 10;
    parser.info.rearFrameRate = twoChannel ? 10 : 0;
    parser.info.frontFrameCount = declared < 0 ? frames : declared;
    parser.info.rearFrameCount = twoChannel ? parser.info.frontFrameCount : 0;
    parser.chunks.clear();
    for (int f = 0; f < frames; ++f) {
        const uint32_t seed = static_cast<uint32_t>(f) * 4;
        parser.chunks.push_back({"00dc", PatternBytes(1000 + 37 * static_cast<size_t>(f), seed)});
        if (twoChannel)
            parser.chunks.push_back({"01dc", PatternBytes(301 + static_cast<size_t>(f), seed + 1)});
        parser.chunks.push_back({"03tx", {'M', 1, 2, 3}});
        parser.chunks.push_back({"", {}});
        if (f % 4 == 3)
            parser.chunks.push_back({"02wb", PatternBytes(3840, seed + 2)});
    }
}

// The media chunks the exporter should have copied: the first `frames` frames' worth.
std::vector<Chunk> ExpectedChunks(const ScriptedParser& parser, int frames, bool twoChannel) {
    std::vector<Chunk> out;
    int front = 0;
    for (const Chunk& chunk : parser.chunks) {
        if (chunk.id == "00dc" && front++ == frames)
            break;
        if (chunk.id == "00dc" || chunk.id == "01dc")
            out.push_back(chunk);
        else if (chunk.id == "02wb")
            out.push_back({twoChannel ? "02wb" : "01wb", chunk.payload});
    }
    return out;
}

// Every media chunk of an AVI file, checked to end as a whole file does.
std::vector<Chunk> ReadAvi(const std::string& path, OpenInfo& info) {
    CAVIExtractor reader;
    std::vector<Chunk> out;
    if (reader.Open(path, &info) <= 0) {
        ADD_FAILURE() << "cannot open " << path;
        return out;
    }
    std::vector<uint8_t> buffer(kPacketBufferSize);
    for (;;) {
        char id[5] = {};
        int32_t size = kPacketBufferSize;
        if (reader.ReadChunk(id, buffer.data(), size) < 0)
            break;
        if (IsMediaChunkId(id))
            out.push_back({id, std::vector<uint8_t>(buffer.begin(), buffer.begin() + size)});
    }
    EXPECT_EQ(reader.LastReadEnd(), ReadEnd::kEnded) << path << " is not a whole file";
    return out;
}

::testing::AssertionResult SameChunks(const std::vector<Chunk>& got,
                                      const std::vector<Chunk>& expected) {
    if (got.size() != expected.size())
        return ::testing::AssertionFailure()
               << got.size() << " chunks instead of " << expected.size();
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i].id != expected[i].id || got[i].payload != expected[i].payload)
            return ::testing::AssertionFailure()
                   << "chunk " << i << " differs (" << got[i].id << ", " << expected[i].id << ")";
    return ::testing::AssertionSuccess();
}

// The names in a folder, hidden ones included.
std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RecordingExporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(storage / "REC");
        fs::create_directories(out);
    }

    TempDir dir;
    const fs::path storage = dir.Path() / "card" / "TATSTORE";
    const fs::path out = dir.Path() / "out";
    ScriptedParser parser;
    CRecordingExporter exporter{parser, storage.string()};
};

TEST(PlainFileName, LettersDigitsUnderscoreDashAndDotWithoutTwoDots) {
    for (const char* name : {"REC_20240305_090000_D", "a", "x-1.b", "9", ".hidden", "_"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
    for (const char* name : {"", "..", "a..b", "../x", "a/b", "/abs", "a b", "a\\b", "caf\xc3\xa9",
                             "a\nb", "a*", "~x", "a:b"})
        EXPECT_FALSE(IsPlainFileName(name)) << name;
}

TEST_F(RecordingExporterTest, CopiesVideoAndSoundUnchangedWithProgressBeforeEachFrontFrame) {
    for (const bool twoChannel : {true, false}) {
        SCOPED_TRACE(twoChannel ? "two channels" : "front only");
        Script(parser, 12, twoChannel);
        std::vector<std::pair<int64_t, int64_t>> calls;
        const ExportReport report = exporter.ExportToFolder("REC_20240305_090000_D", out.string(),
                                                            [&](int64_t written, int64_t total) {
                                                                calls.emplace_back(written, total);
                                                                return true;
                                                            });
        EXPECT_EQ(report.outcome, ExportReport::Outcome::kComplete) << report.reason;
        EXPECT_EQ(parser.opened, "REC_20240305_090000_D");
        EXPECT_EQ(parser.closes, parser.opens);
        const std::string path = (out / "REC_20240305_090000_D.avi").string();
        EXPECT_EQ(report.path, path);
        EXPECT_EQ(report.framesWritten, 12);
        EXPECT_EQ(report.framesTotal, 12);
        EXPECT_EQ(report.bytes, fs::file_size(path));
        EXPECT_EQ(report.reason, "");
        ASSERT_EQ(calls.size(), 12u);
        for (size_t i = 0; i < calls.size(); ++i)
            EXPECT_EQ(calls[i], std::make_pair(static_cast<int64_t>(i), int64_t{12}));

        OpenInfo info;
        const std::vector<Chunk> chunks = ReadAvi(path, info);
        EXPECT_TRUE(SameChunks(chunks, ExpectedChunks(parser, 12, twoChannel)));
        EXPECT_EQ(report.packets, static_cast<int64_t>(chunks.size()));
        EXPECT_EQ(info.frontFrameRate, 10);
        EXPECT_EQ(info.rearFrameCount, twoChannel ? 12 : 0);
        CAVIExtractor sizes;
        ASSERT_GT(sizes.Open(path, nullptr), 0);
        EXPECT_EQ(sizes.GetVideoSize(0).width, 1280);
        EXPECT_EQ(sizes.GetVideoSize(1).width, twoChannel ? 640 : 0);
        // Only the finished file is left: no temporary names.
        EXPECT_EQ(FolderNames(out), std::vector<std::string>{"REC_20240305_090000_D.avi"});
    }
}

TEST_F(RecordingExporterTest, CancelStopsBeforeTheFrameAndKeepsAPlayableFile) {
    Script(parser, 20, true);
    const std::string target = (out / "cut.avi").string();
    WriteFileText(target, "an older file");
    const ExportReport report = exporter.ExportTo(
        "REC_20240305_090000_D", target, [](int64_t written, int64_t) { return written < 7; });
    EXPECT_EQ(report.outcome, ExportReport::Outcome::kCancelled);
    EXPECT_EQ(report.path, target);
    EXPECT_EQ(report.framesWritten, 7);
    EXPECT_NE(report.reason.find("0.7 s of 2.0 s"), std::string::npos) << report.reason;
    OpenInfo info;
    EXPECT_TRUE(SameChunks(ReadAvi(target, info), ExpectedChunks(parser, 7, true)));
    EXPECT_EQ(info.frontFrameCount, 7);
    EXPECT_EQ(FolderNames(out), std::vector<std::string>{"cut.avi"});
}

TEST_F(RecordingExporterTest, FailedReadKeepsThePartBeforeItAndSaysHowMuch) {
    Script(parser, 30, true);
    parser.chunks.resize(38); // a card pulled part-way: after frame 8's sound
    parser.end = ReadEnd::kFailed;
    const ExportReport report = exporter.ExportToFolder("EVENT_1", out.string(), {});
    EXPECT_EQ(report.outcome, ExportReport::Outcome::kIncomplete);
    EXPECT_EQ(report.framesWritten, 9);
    EXPECT_EQ(report.framesTotal, 30);
    EXPECT_EQ(report.reason, "exported 0.9 s of 3.0 s; the rest cannot be read");
    OpenInfo info;
    EXPECT_EQ(ReadAvi(report.path, info).size(), static_cast<size_t>(report.packets));
    EXPECT_EQ(info.frontFrameCount, 9);

    // Without a rate or a declared length the figures are frames.
    Script(parser, 30, true, 0);
    parser.info.frontFrameRate = 0;
    parser.chunks.resize(38);
    EXPECT_EQ(exporter.ExportToFolder("EVENT_1", out.string(), {}).reason,
              "exported 9 front frames; the rest cannot be read");
}

TEST_F(RecordingExporterTest, NothingReadableOrNotOpenedLeavesNoFileAndTheOldOneIntact) {
    const std::string target = (out / "x.avi").string();
    WriteFileText(target, "an older file");
    parser.chunks = {{"", {}}, {"03tx", {'G'}}}; // no packet before the failure
    parser.end = ReadEnd::kFailed;
    ExportReport report = exporter.ExportTo("REC_1", target, {});
    EXPECT_EQ(report.outcome, ExportReport::Outcome::kFailed);
    EXPECT_EQ(report.reason, "the recording cannot be read");
    EXPECT_EQ(report.path, "");

    parser.failOpen = true;
    report = exporter.ExportTo("REC_1", target, {});
    EXPECT_EQ(report.outcome, ExportReport::Outcome::kFailed);
    EXPECT_EQ(report.reason, "the recording cannot be opened");
    EXPECT_EQ(ReadFileText(target), "an older file");
    EXPECT_EQ(FolderNames(out), std::vector<std::string>{"x.avi"});

    // A recording that ends normally without packets is a complete, empty file.
    parser.failOpen = false;
    parser.chunks.clear();
    parser.end = ReadEnd::kEnded;
    report = exporter.ExportTo("REC_1", target, {});
    EXPECT_EQ(report.outcome, ExportReport::Outcome::kComplete);
    OpenInfo info;
    EXPECT_TRUE(ReadAvi(target, info).empty());
}

TEST_F(RecordingExporterTest, FullDiskRemovesThePartialFileAndKeepsTheOldOne) {
    Script(parser, 200, true);
    const std::string target = (out / "full.avi").string();
    WriteFileText(target, "an older file");
    ExportReport report;
    WithFileSizeLimit(100000, [&] { report = exporter.ExportTo("REC_1", target, {}); });
    EXPECT_EQ(report.outcome, ExportReport::Outcome::kFailed);
    EXPECT_EQ(report.reason.rfind("writing " + target + " failed: ", 0), 0u) << report.reason;
    EXPECT_EQ(report.path, "");
    EXPECT_EQ(ReadFileText(target), "an older file");
    EXPECT_EQ(FolderNames(out), std::vector<std::string>{"full.avi"});
    EXPECT_EQ(parser.closes, parser.opens);

    // The exporter serves the next recording as if nothing had happened.
    Script(parser, 3, false);
    EXPECT_EQ(exporter.ExportTo("REC_2", target, {}).outcome, ExportReport::Outcome::kComplete);
}

TEST_F(RecordingExporterTest, TargetsInsideTheStorageAreRefusedBeforeAnythingIsRead) {
    Script(parser, 3, true);
    const fs::path recording = storage / "REC" / "REC_1.TRD";
    WriteFileText(recording.string(), "recording");
    WriteFileText((storage / "REC.DIR").string(), "directory");
    fs::create_directory_symlink(storage / "REC", dir.Path() / "into-storage");
    fs::create_symlink(recording, out / "link.avi");
    const std::vector<fs::path> targets = {
        recording,
        storage / "REC.DIR",
        storage / "new.avi",
        storage / "REC" / ".." / ".." / "TATSTORE" / "x.avi",
        dir.Path() / "into-storage" / "x.avi",
        out / "link.avi",
    };
    for (const fs::path& target : targets) {
        const ExportReport report = exporter.ExportTo("REC_1", target.string(), {});
        EXPECT_EQ(report.outcome, ExportReport::Outcome::kFailed) << target;
        EXPECT_NE(report.reason.find("lies inside the card's storage"), std::string::npos)
            << report.reason;
    }
    EXPECT_EQ(exporter.ExportToFolder("REC_1", storage.string(), {}).outcome,
              ExportReport::Outcome::kFailed);
    EXPECT_EQ(parser.opens, 0);
    EXPECT_EQ(ReadFileText(recording.string()), "recording");
    EXPECT_EQ(ReadFileText((storage / "REC.DIR").string()), "directory");
    EXPECT_EQ(FolderNames(storage), (std::vector<std::string>{"REC", "REC.DIR"}));
    EXPECT_EQ(FolderNames(storage / "REC"), std::vector<std::string>{"REC_1.TRD"});

    // Beside the storage, on the card, is fine; so is a link to a file outside it, which then
    // names the new file. A link to nothing is replaced by the file.
    EXPECT_EQ(exporter.ExportTo("REC_1", (storage.parent_path() / "x.avi").string(), {}).outcome,
              ExportReport::Outcome::kComplete);
    WriteFileText((out / "real.avi").string(), "an older file");
    fs::create_symlink(out / "real.avi", out / "elsewhere.avi");
    const ExportReport linked = exporter.ExportTo("REC_1", (out / "elsewhere.avi").string(), {});
    EXPECT_EQ(linked.outcome, ExportReport::Outcome::kComplete) << linked.reason;
    EXPECT_TRUE(fs::is_symlink(out / "elsewhere.avi"));
    OpenInfo info;
    EXPECT_EQ(ReadAvi((out / "real.avi").string(), info).size(), 6u);
    fs::create_symlink(storage / "REC" / "REC_2.TRD", out / "dangling.avi");
    EXPECT_EQ(exporter.ExportTo("REC_1", (out / "dangling.avi").string(), {}).outcome,
              ExportReport::Outcome::kComplete);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / "dangling.avi")));
    EXPECT_EQ(FolderNames(storage / "REC"), std::vector<std::string>{"REC_1.TRD"});
}

TEST_F(RecordingExporterTest, NamesThatAreNotPlainAndTargetsThatAreNotFilesAreNotWritten) {
    Script(parser, 3, true);
    for (const char* name : {"../../etc/passwd", "..", "", "a/b", "REC 1"}) {
        const ExportReport report = exporter.ExportToFolder(name, out.string(), {});
        EXPECT_EQ(report.outcome, ExportReport::Outcome::kSkipped) << name;
        EXPECT_EQ(report.reason, "the name is not a plain file name");
        EXPECT_EQ(report.name, name);
    }
    EXPECT_EQ(exporter.ExportToFolder("REC_1", "", {}).outcome, ExportReport::Outcome::kFailed);
    EXPECT_EQ(parser.opens, 0);
    EXPECT_TRUE(FolderNames(out).empty());

    fs::create_directory(out / "folder.avi");
    for (const std::string& target : {(out / "folder.avi").string(), std::string("/dev/null"),
                                      (out / "none" / "x.avi").string(), std::string()}) {
        const ExportReport report = exporter.ExportTo("REC_1", target, {});
        EXPECT_EQ(report.outcome, ExportReport::Outcome::kFailed) << target;
        EXPECT_FALSE(report.reason.empty());
    }
    EXPECT_EQ(parser.opens, 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(FolderNames(out), std::vector<std::string>{"folder.avi"});
}

} // namespace

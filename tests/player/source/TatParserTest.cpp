// The camera-storage parser over the access library: opening by name and index, reading
// every packet through the reading thread, the end of data, seeking, and pausing the
// reading thread while it is busy.
#include "base/ByteOrder.h"
#include "base/DiagLog.h"
#include "player/source/CTATParser.h"
#include "storage/CTATLibrary.h"
#include "tests/support/PacketLabel.h"
#include "tests/support/TatTestCards.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

using Written = std::vector<TestTatPacket>;
struct Chunk {
    std::string id;
    std::vector<uint8_t> payload;
    int64_t timeUs = 0;
    bool key = false;
};

// Reads up to `limit` chunks, stopping at the end (-1), which sets *atEnd.
std::vector<Chunk> ReadChunks(CTATParser& parser, size_t limit = 1000000, bool* atEnd = nullptr) {
    std::vector<Chunk> out;
    std::vector<uint8_t> buffer(kPacketBufferSize);
    while (out.size() < limit) {
        MediaPacket packet;
        if (!parser.Read(buffer.data(), kPacketBufferSize, packet)) {
            if (atEnd != nullptr)
                *atEnd = true;
            break;
        }
        EXPECT_NE(packet.kind, NoPacket) << "a card never keeps the reader waiting a whole second";
        out.push_back({PacketLabel(packet),
                       std::vector<uint8_t>(buffer.begin(), buffer.begin() + packet.size),
                       packet.timeUs, packet.keyFrame});
    }
    return out;
}

// The chunks are exactly the written packets from `from` on, with their ids.
::testing::AssertionResult Matches(const std::vector<Chunk>& chunks, const Written& written,
                                   size_t from) {
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (from + i >= written.size())
            return ::testing::AssertionFailure() << "more chunks than packets from " << from;
        const TestTatPacket& p = written[from + i];
        const char* id = p.type == tat::Audio  ? "02wb"
                         : p.type == tat::Text ? "03tx"
                         : p.channel != 0      ? "01dc"
                                               : "00dc";
        if (chunks[i].id != id || chunks[i].payload != p.payload)
            return ::testing::AssertionFailure()
                   << "chunk " << i << " is not packet " << from + i << " (" << id << ")";
    }
    return ::testing::AssertionSuccess();
}

size_t PacketOfFrontFrame(const Written& written, uint32_t frame) {
    for (size_t i = 0; i < written.size(); ++i)
        if (written[i].type != tat::Audio && written[i].type != tat::Text &&
            written[i].channel == 0 && FrameOfPayload(written[i].payload.data()) == frame)
            return i;
    return written.size();
}

class TatParserTest : public ::testing::Test {
protected:
    void Make(const std::vector<TestRecording>& recordings) {
        MakeTestCard(dir.Path().string(), recordings);
        library = OpenTestCard(dir.Path().string());
        ASSERT_EQ(library->PollCardDrive(), 1);
        parser = std::make_unique<CTATParser>(library.get());
        parser->SetDiagLog(&diag);
        ASSERT_TRUE(parser->Start());
    }

    int EndLines() {
        std::lock_guard lock(linesMutex);
        return endLines;
    }

    TempDir dir;
    std::mutex linesMutex;
    int endLines = 0;
    DiagLog diag{[this](std::string_view line) {
        std::lock_guard lock(linesMutex);
        endLines += line == "Media End Recv [5]\n" ? 1 : 0;
    }};
    std::unique_ptr<CTATLibrary> library;
    std::unique_ptr<CTATParser> parser; // last: its thread calls the library
};

// More than the parser's 1 MiB queue holds, so the reading thread is still busy (waiting to
// queue a packet) when the caller opens, seeks or closes.
const TestRecording kLong{"REC_20240305_100000_D", 60, 30, true};

TEST_F(TatParserTest, OpensInTheCategoryOfTheNameByNameOrEntryIndex) {
    // Eight continuous recordings told apart by their frame rates 10..17.
    std::vector<TestRecording> recordings = {{"EVENT_20240305_091500_D", 1},
                                             {"PARKING_20240305_093000_S", 1, 30, false},
                                             {"MANUAL_20240305_094000_D", 1}};
    for (int i = 0; i < 8; ++i)
        recordings.push_back({"REC_20240305_09000" + std::to_string(i) + "_D", 1, 10 + i});
    Make(recordings);

    OpenInfo info;
    EXPECT_EQ(parser->Open("/EVENT_20240305_091500_D", &info), 1);
    EXPECT_EQ(parser->Category(), 0);
    EXPECT_EQ(info.frontFrameRate, 30);
    EXPECT_EQ(info.rearFrameCount, 30);
    EXPECT_EQ(parser->GetVideoSize(1).width, 640);
    EXPECT_EQ(parser->GetVideoSize(0).height, 720);
    EXPECT_TRUE(Matches(ReadChunks(*parser, 1), TestRecordingPackets(recordings[0]), 0));

    for (const char* name :
         {"REC_20240305_090007_D, 7", "/REC_20240305_090007_D 7", "REC_20240305_090007_D"}) {
        parser->Open(name, nullptr);
        EXPECT_EQ(parser->Category(), 1) << name;
        EXPECT_EQ(parser->GetFrameRate(0), 17) << name;
        EXPECT_TRUE(Matches(ReadChunks(*parser, 1), TestRecordingPackets(recordings[10]), 0));
    }
    // With an index the entry is described by it, and entry 7 bears another name.
    parser->Open("REC_20240305_090003_D,7", &info);
    EXPECT_EQ(info.frontFrameRate, 0);

    parser->Open("PARKING_20240305_093000_S", &info);
    EXPECT_EQ(parser->Category(), 2);
    EXPECT_EQ(info.rearFrameRate, 0);
    EXPECT_EQ(parser->GetVideoSize(1).width, 0);
    parser->Open("MANUAL_20240305_094000_D", nullptr);
    EXPECT_EQ(parser->Category(), 3);
    parser->Open("/XYZ_20240305_094000_D", nullptr); // no category: keeps the previous one
    EXPECT_EQ(parser->Category(), 3);
    EXPECT_TRUE(ReadChunks(*parser).empty());
}

TEST(TatParserCounts, TextIsReadWhollyOrNotAtAll) {
    CTATParser::TatInfo info{};
    ASSERT_TRUE(CTATParser::ParseCountsText(
        "cntVideo0=300; cntVideo1=295;cntAudio= +150; cntACC=30; cntGPS=31 more", info));
    EXPECT_EQ(info[CTATParser::kFrontFrames], 300);
    EXPECT_EQ(info[CTATParser::kRearFrames], 295);
    EXPECT_EQ(info[CTATParser::kAudioPackets], 150);
    EXPECT_EQ(info[CTATParser::kSensorPackets], 30);
    EXPECT_EQ(info[CTATParser::kGpsPackets], 31);

    const CTATParser::TatInfo before = info;
    for (const char* bad : {"damaged", "cntVideo0=1; cntVideo1=2; cntAudio=3; cntACC=4; cntGPS=",
                            "cntVideo0=3000000000; cntVideo1=1; cntAudio=1; cntACC=1; cntGPS=1",
                            "cntVideo0=-5; cntVideo1=1; cntAudio=1; cntACC=1; cntGPS=1"}) {
        EXPECT_FALSE(CTATParser::ParseCountsText(bad, info)) << bad;
        EXPECT_EQ(info, before) << bad;
    }
}

TEST_F(TatParserTest, ReadsEveryPacketInOrderAndStaysAtTheEndUntilTheNextOpen) {
    const TestRecording first{"REC_20240305_090702_D", 3, 30, true};
    const TestRecording second{"EVENT_20240305_091500_S", 2, 25, false};
    const TestRecording cut{"PARKING_20240305_093000_D", 2, 30, true, 30, false};
    Make({first, second, cut, kLong});

    OpenInfo info;
    ASSERT_EQ(parser->Open(first.name, &info), 1);
    EXPECT_EQ(info.frontFrameCount, 90);
    EXPECT_EQ(parser->Info()[CTATParser::kAudioPackets], 12); // from the counts text
    // A packet larger than the caller's buffer is refused, not cut, and stays first in line.
    std::vector<uint8_t> small(64, 0xEE);
    MediaPacket packet;
    EXPECT_FALSE(parser->Read(small.data(), 16, packet));
    EXPECT_EQ(small, std::vector<uint8_t>(64, 0xEE));

    EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kFailed) << "the packet did not fit";

    bool atEnd = false;
    const std::vector<Chunk> chunks = ReadChunks(*parser, 1000000, &atEnd);
    EXPECT_TRUE(atEnd);
    EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kEnded);
    EXPECT_EQ(chunks.size(), TestRecordingPackets(first).size());
    EXPECT_TRUE(Matches(chunks, TestRecordingPackets(first), 0));
    EXPECT_TRUE(ReadChunks(*parser).empty());
    EXPECT_TRUE(ReadChunks(*parser).empty());
    EXPECT_EQ(EndLines(), 1);

    // Opened after the end, or while the reading thread is busy with a long recording: the
    // new recording's reads hold none of the old one's packets.
    for (bool busy : {false, true}) {
        if (busy) {
            parser->Open(kLong.name, nullptr);
            ReadChunks(*parser, 40);
        }
        parser->Open(second.name, &info);
        EXPECT_EQ(info.frontFrameRate, 25);
        const std::vector<Chunk> again = ReadChunks(*parser);
        EXPECT_EQ(again.size(), TestRecordingPackets(second).size());
        EXPECT_TRUE(Matches(again, TestRecordingPackets(second), 0)) << busy;
    }

    // Cut off by a power cut: its whole packets, then the end, which is its normal end.
    parser->Open(cut.name, nullptr);
    const std::vector<Chunk> intact = ReadChunks(*parser);
    EXPECT_EQ(intact.size(), TestRecordingPackets(cut).size() / 2 - 1);
    EXPECT_TRUE(Matches(intact, TestRecordingPackets(cut), 0));
    EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kEnded);

    // Not on the card: ends at once, with no numbers left over from the one before.
    EXPECT_EQ(parser->Open("REC_20990101_000000_D", &info), 1);
    EXPECT_EQ(info.frontFrameCount, 0);
    EXPECT_EQ(parser->Info()[CTATParser::kAudioPackets], 0);
    EXPECT_TRUE(ReadChunks(*parser).empty());
}

TEST_F(TatParserTest, SeekStartsAtTheFrontKeyFrameOfTheWholeSecond) {
    const TestRecording rec{"EVENT_20240305_091500_D", 5, 30, true, 15};
    Make({rec, kLong});
    const Written written = TestRecordingPackets(rec);
    parser->Open(rec.name, nullptr);
    ReadChunks(*parser, 7);
    for (const auto& [seconds, frame] :
         std::vector<std::pair<float, uint32_t>>{{2.99f, 60}, {0.5f, 0}, {4.0f, 120}, {-3.0f, 0}}) {
        ASSERT_EQ(parser->SeekTime(seconds), 0) << seconds;
        const std::vector<Chunk> chunks = ReadChunks(*parser, 20);
        EXPECT_TRUE(Matches(chunks, written, PacketOfFrontFrame(written, frame)));
        // Timed by counting front frames from the one landed on, the key frame.
        ASSERT_FALSE(chunks.empty());
        EXPECT_TRUE(chunks.front().key);
        int64_t next = frame;
        for (const Chunk& c : chunks) {
            if (c.id == "00dc") {
                EXPECT_EQ(c.timeUs, next++ * 1000000 / 30) << seconds;
            } else if (c.id == "01dc" || c.id == "03tx") {
                EXPECT_EQ(c.timeUs, (next - 1) * 1000000 / 30) << seconds;
            }
        }
    }

    // After the end a seek reads again.
    ReadChunks(*parser);
    ASSERT_EQ(parser->SeekTime(1.2f), 0);
    const size_t from = PacketOfFrontFrame(written, 30);
    const std::vector<Chunk> tail = ReadChunks(*parser);
    EXPECT_EQ(tail.size(), written.size() - from);
    EXPECT_TRUE(Matches(tail, written, from));

    // Times with nowhere to go fail and lose nothing, not even the packet the reading thread
    // held while the full queue kept it waiting.
    const Written longPackets = TestRecordingPackets(kLong);
    parser->Open(kLong.name, nullptr);
    std::vector<Chunk> all = ReadChunks(*parser, 5);
    for (float bad : {60.0f, 1000.0f, 1e10f, std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_EQ(parser->SeekTime(bad), -1) << bad;
        const std::vector<Chunk> more = ReadChunks(*parser, bad == 60.0f ? 300 : 1000000);
        all.insert(all.end(), more.begin(), more.end());
    }
    EXPECT_EQ(all.size(), longPackets.size());
    EXPECT_TRUE(Matches(all, longPackets, 0));
}

TEST_F(TatParserTest, RecordingWithoutFrameRateSeeksWithoutDividingByZero) {
    Make({});
    CTATCardWriter writer(dir.Path().string());
    ASSERT_TRUE(writer.BeginRecording("MANUAL_20240305_094000_S", tat::InfoBlock{}));
    const std::vector<uint8_t> frame(30, 0x11);
    for (int f = 0; f < 40; ++f)
        ASSERT_TRUE(
            writer.AddPacket(f % 10 ? tat::VideoFrame : tat::VideoKeyFrame, 0, frame.data(), 30));
    ASSERT_TRUE(writer.FinishRecording());

    OpenInfo info;
    parser->Open("MANUAL_20240305_094000_S", &info);
    EXPECT_EQ(info.frontFrameRate, 0);
    EXPECT_EQ(info.frontFrameCount, 40);
    EXPECT_EQ(parser->SeekTime(1.0f), -1); // no seek index without a rate; reading goes on
    EXPECT_EQ(ReadChunks(*parser).size(), 40u);
}

TEST_F(TatParserTest, CloseAndStopEndReadsAtOnce) {
    Make({kLong});
    const Written written = TestRecordingPackets(kLong);
    parser->Open(kLong.name, nullptr);
    ReadChunks(*parser, 3);
    parser->Close();
    EXPECT_TRUE(ReadChunks(*parser).empty());
    parser->Open(kLong.name, nullptr);
    EXPECT_TRUE(Matches(ReadChunks(*parser, 10), written, 0));
    parser->Stop();
    EXPECT_TRUE(ReadChunks(*parser).empty());

    CTATParser unstarted(library.get()); // an open recording is read only after Start
    unstarted.Open(kLong.name, nullptr);
    EXPECT_TRUE(ReadChunks(unstarted).empty());
    ASSERT_TRUE(parser->Start());
    parser->Open(kLong.name, nullptr);
    EXPECT_TRUE(Matches(ReadChunks(*parser, 10), written, 0));
}

// Open, seek and read in a random mix while the reading thread is busy; every packet read
// must be the next one of the recording that is open, from where it was opened or sought.
TEST_F(TatParserTest, OpenAndSeekWhileTheReaderIsBusyNeverMixUpPackets) {
    const TestRecording shortOne{"EVENT_20240305_091500_S", 4, 15, false, 15};
    Make({kLong, shortOne});
    const TestRecording* recordings[2] = {&kLong, &shortOne};
    const Written packets[2] = {TestRecordingPackets(kLong), TestRecordingPackets(shortOne)};

    std::mt19937 random(20240305);
    size_t open = 0;
    size_t next = 0;
    parser->Open(kLong.name, nullptr);
    for (int step = 0; step < 300; ++step) {
        const uint32_t pick = static_cast<uint32_t>(random());
        if (pick % 3 == 0) {
            open = pick / 3 % 2;
            parser->Open(recordings[open]->name, nullptr);
            next = 0;
        } else if (pick % 3 == 1) {
            const uint32_t second = pick / 3 % static_cast<uint32_t>(recordings[open]->seconds);
            ASSERT_EQ(parser->SeekTime(static_cast<float>(second) + 0.5f), 0);
            next = PacketOfFrontFrame(packets[open],
                                      second * static_cast<uint32_t>(recordings[open]->frameRate));
        } else {
            bool atEnd = false;
            const std::vector<Chunk> chunks = ReadChunks(*parser, 1 + pick / 3 % 60, &atEnd);
            ASSERT_TRUE(Matches(chunks, packets[open], next)) << "step " << step;
            next += chunks.size();
            ASSERT_TRUE(!atEnd || next == packets[open].size()) << "step " << step;
        }
    }
}

} // namespace

namespace {

// Offset of packet `index` in a recording file's bytes.
size_t PacketOffset(const std::vector<uint8_t>& bytes, size_t index) {
    size_t at = tat::kRecordingHeaderSize;
    for (size_t i = 0; i < index; ++i)
        at += tat::kPacketHeaderSize + LoadU32LE(bytes.data() + at + 4);
    return at;
}

// The reading thread reads ahead without checking packets; the check happens as each one is
// handed out. A damaged packet deep in a read must still end the recording right before it,
// and nothing after it may come out later, whatever was queued behind it.
TEST_F(TatParserTest, DamagedPacketEndsTheRecordingRightBeforeIt) {
    Make({kLong});
    const Written written = TestRecordingPackets(kLong);
    const std::string path = (dir.Path() / "TATSTORE" / "REC" / (kLong.name + ".TRD")).string();
    const std::vector<uint8_t> intact = ReadFileBytes(path);
    struct Damage {
        const char* what;
        size_t packet;
        size_t byte; // within the packet, header included
    };
    const size_t last = written.size() - 1;
    const size_t lastSize = written[last].payload.size();
    int ends = 0;
    // Read at once, the caller checks the CRCs; after a wait that lets the queue fill, the
    // reading thread checks most of them.
    for (const bool callerLags : {false, true})
        for (const Damage& d :
             {Damage{"payload", 1500, tat::kPacketHeaderSize + 5}, Damage{"stored CRC", 2000, 12},
              Damage{"sync bytes", 2500, 0}, Damage{"size", 700, 6},
              Damage{"last payload byte", last, tat::kPacketHeaderSize + lastSize - 1}}) {
            SCOPED_TRACE(callerLags ? "caller lags" : "caller reads at once");
            std::vector<uint8_t> bytes = intact;
            bytes[PacketOffset(bytes, d.packet) + d.byte] ^= 0x40;
            WriteFileBytes(path, bytes);

            parser->Open(kLong.name, nullptr);
            if (callerLags)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            bool atEnd = false;
            const std::vector<Chunk> chunks = ReadChunks(*parser, 1000000, &atEnd);
            EXPECT_TRUE(atEnd) << d.what;
            EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kFailed) << d.what;
            EXPECT_EQ(chunks.size(), d.packet) << d.what;
            EXPECT_TRUE(Matches(chunks, written, 0)) << d.what;
            EXPECT_EQ(EndLines(), ++ends) << d.what;
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the thread reads on
            EXPECT_TRUE(ReadChunks(*parser).empty()) << d.what;
            EXPECT_EQ(parser->SeekTime(1e10f), -1);
            EXPECT_TRUE(ReadChunks(*parser).empty()) << d.what;

            // A seek that succeeds reads again, up to the same packet.
            ASSERT_EQ(parser->SeekTime(0.0f), 0);
            EXPECT_EQ(ReadChunks(*parser).size(), d.packet) << d.what;
            EXPECT_EQ(EndLines(), ++ends) << d.what;
            EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kFailed) << d.what;
        }
}

// Reading that stops early is never taken for the recording's end: a damaged packet a tenth
// of the way in, a file that shrinks while it is read, a file that cannot be read, a recording
// that is not there.
TEST_F(TatParserTest, FailedReadsAreToldFromTheEndOfTheRecording) {
    const TestRecording damaged{"EVENT_20240305_091500_D", 10, 30, true};
    const TestRecording unreadable{"MANUAL_20240305_094000_S", 1, 30, false};
    Make({damaged, unreadable, kLong});
    const std::string store = (dir.Path() / "TATSTORE").string();

    const Written written = TestRecordingPackets(damaged);
    const std::string damagedPath = store + "/EVENT/" + damaged.name + ".TRD";
    std::vector<uint8_t> bytes = ReadFileBytes(damagedPath);
    const size_t tenth = written.size() / 10;
    bytes[PacketOffset(bytes, tenth) + tat::kPacketHeaderSize + 3] ^= 0x40;
    WriteFileBytes(damagedPath, bytes);
    parser->Open(damaged.name, nullptr);
    EXPECT_EQ(ReadChunks(*parser).size(), tenth);
    EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kFailed);

    // Shrinks behind the reading thread, which has read ahead as far as the queue holds.
    const std::string longPath = store + "/REC/" + kLong.name + ".TRD";
    const uint64_t size = std::filesystem::file_size(longPath);
    const uint64_t cut = size - 100000;
    ASSERT_GT(cut, static_cast<uint64_t>(CTATParser::kQueueCapacity + CTATParser::kBulkRead));
    parser->Open(kLong.name, nullptr);
    EXPECT_EQ(ReadChunks(*parser, 5).size(), 5u);
    ASSERT_EQ(truncate(longPath.c_str(), static_cast<off_t>(cut)), 0);
    const size_t rest = ReadChunks(*parser).size();
    EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kFailed);
    EXPECT_LT(rest + 5, TestRecordingPackets(kLong).size());

    // The recording file replaced by a folder: listed, but nothing can be read.
    const std::string unreadablePath = store + "/MANUAL/" + unreadable.name + ".TRD";
    std::filesystem::remove(unreadablePath);
    std::filesystem::create_directory(unreadablePath);
    for (const std::string& name : {unreadable.name, std::string("REC_20990101_000000_D")}) {
        parser->Open(name, nullptr);
        EXPECT_TRUE(ReadChunks(*parser).empty()) << name;
        EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kFailed) << name;
    }

    // A failure is forgotten at the next Open.
    parser->Open(damaged.name, nullptr);
    std::vector<uint8_t> buffer(kPacketBufferSize);
    MediaPacket packet;
    ASSERT_TRUE(parser->Read(buffer.data(), kPacketBufferSize, packet));
    parser->Close();
    EXPECT_EQ(parser->LastReadEnd(), ReadEnd::kEnded);
}

// Packets larger than one read of the reading thread, and the largest a recording may hold
// (which the queue cannot take with their headers), between small ones; damage in either kind
// ends the recording too.
TEST_F(TatParserTest, LargePacketsArriveWholeAndTheirDamageIsFound) {
    Make({});
    const std::string name = "MANUAL_20240305_094000_S";
    const std::vector<uint32_t> sizes = {100,
                                         300000,
                                         tat::kMaxPacketSize,
                                         20,
                                         700000,
                                         5,
                                         tat::kMaxPacketSize,
                                         tat::kMaxPacketSize,
                                         1,
                                         400000,
                                         77};
    std::vector<std::vector<uint8_t>> payloads;
    CTATCardWriter writer(dir.Path().string());
    tat::InfoBlock info;
    info.frontFrameRate = 30;
    ASSERT_TRUE(writer.BeginRecording(name, info));
    for (size_t p = 0; p < sizes.size(); ++p) {
        std::vector<uint8_t> payload(sizes[p]);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<uint8_t>(p * 31 + i * 7 + i / 4096);
        ASSERT_TRUE(writer.AddPacket(p % 3 == 0 ? tat::VideoKeyFrame : tat::VideoFrame, 0,
                                     payload.data(), sizes[p]));
        payloads.push_back(std::move(payload));
    }
    ASSERT_TRUE(writer.FinishRecording());

    parser->Open(name, nullptr);
    std::vector<Chunk> chunks = ReadChunks(*parser);
    ASSERT_EQ(chunks.size(), sizes.size());
    for (size_t p = 0; p < sizes.size(); ++p)
        EXPECT_TRUE(chunks[p].id == "00dc" && chunks[p].payload == payloads[p]) << p;

    const std::string path = (dir.Path() / "TATSTORE" / "MANUAL" / (name + ".TRD")).string();
    const std::vector<uint8_t> intact = ReadFileBytes(path);
    for (size_t damaged : {size_t{4}, size_t{6}, size_t{7}}) {
        std::vector<uint8_t> bytes = intact;
        bytes[PacketOffset(bytes, damaged) + tat::kPacketHeaderSize + sizes[damaged] / 2] ^= 1;
        WriteFileBytes(path, bytes);
        parser->Open(name, nullptr);
        chunks = ReadChunks(*parser);
        EXPECT_EQ(chunks.size(), damaged);
    }
}

TEST_F(TatParserTest, PacketsLargerThanOneReadArriveWhereverTheyStartInTheQueue) {
    // Each packet is too large for a bulk read, so the reading thread asks for exactly its room;
    // the sizes make the packets start at every offset modulo the library's alignment, so some
    // land where the kernel's aligned copy starts a few bytes into that room.
    Make({});
    const std::string name = "MANUAL_20240305_094500_S";
    CTATCardWriter writer(dir.Path().string());
    tat::InfoBlock info;
    info.frontFrameRate = 30;
    ASSERT_TRUE(writer.BeginRecording(name, info));
    const int packets = 2 * static_cast<int>(CTATLibrary::kRawAlignment);
    for (int p = 0; p < packets; ++p) {
        std::vector<uint8_t> payload(static_cast<size_t>(CTATParser::kBulkRead + 1 + 3 * p),
                                     static_cast<uint8_t>(p));
        ASSERT_TRUE(writer.AddPacket(tat::VideoKeyFrame, 0, payload.data(),
                                     static_cast<uint32_t>(payload.size())));
    }
    ASSERT_TRUE(writer.FinishRecording());

    parser->Open(name, nullptr);
    bool atEnd = false;
    const std::vector<Chunk> chunks = ReadChunks(*parser, static_cast<size_t>(packets) + 1, &atEnd);
    EXPECT_TRUE(atEnd);
    ASSERT_EQ(chunks.size(), static_cast<size_t>(packets));
    for (int p = 0; p < packets; ++p) {
        const Chunk& chunk = chunks[static_cast<size_t>(p)];
        EXPECT_EQ(chunk.payload.size(), static_cast<size_t>(CTATParser::kBulkRead + 1 + 3 * p));
        EXPECT_EQ(chunk.payload.front(), static_cast<uint8_t>(p));
    }
}

} // namespace

// The camera storage through its access library: cards made by the camera-side writer are
// listed, described and read back; damaged, cut-off and vanishing storage ends reads cleanly.
#include "base/ByteOrder.h"
#include "storage/CTATCardWriter.h"
#include "storage/CTATLibrary.h"
#include "storage/CTATRecordingReader.h"
#include "storage/Crc32c.h"
#include "storage/TatCardFinder.h"
#include "tests/support/TatTestCards.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace {

struct ListedEntry {
    std::string name;
    int64_t size;
    int32_t index;
};

class TatCard : public ::testing::Test {
protected:
    void Make(const std::vector<TestRecording>& recordings) {
        MakeTestCard(dir.Path().string(), recordings);
        library = OpenTestCard(dir.Path().string());
        drive = library->PollCardDrive();
    }

    std::vector<ListedEntry> List(int category) {
        const int32_t n = library->CountEntries(drive, category);
        std::vector<char[40]> names(static_cast<size_t>(std::max(n, 1)));
        std::vector<int64_t> sizes(names.size());
        std::vector<int32_t> indexes(names.size());
        const int32_t filled =
            library->ListEntries(drive, category, n, names.data(), sizes.data(), indexes.data());
        std::vector<ListedEntry> out;
        for (int32_t i = 0; i < filled; ++i)
            out.push_back({names[static_cast<size_t>(i)], sizes[static_cast<size_t>(i)],
                           indexes[static_cast<size_t>(i)]});
        return out;
    }

    struct Read {
        uint8_t type;
        uint8_t channel;
        std::vector<uint8_t> payload;
    };
    // Reads the selected recording to its end; `status` gets the final status.
    std::vector<Read> ReadAll(TatReadStatus& status, size_t limit = 1000000) {
        std::vector<Read> out;
        std::vector<uint8_t> buffer(1 << 20);
        while (out.size() < limit) {
            uint8_t channel = 0, type = 255, flags = 0;
            uint32_t scratch = 0;
            int32_t size = static_cast<int32_t>(buffer.size());
            status = library->ReadPacket(channel, type, flags, size, buffer.data(), scratch);
            if (status != TatPacket)
                break;
            out.push_back(
                {type, channel, std::vector<uint8_t>(buffer.begin(), buffer.begin() + size)});
        }
        return out;
    }

    std::string RecordingFile(const std::string& category, const std::string& name) {
        return (dir.Path() / "TATSTORE" / category / (name + ".TRD")).string();
    }

    TempDir dir;
    std::unique_ptr<CTATLibrary> library;
    uint8_t drive = 0;
};

TEST_F(TatCard, ListsDescribesAndReadsEveryPacketInOrder) {
    const TestRecording rec{"REC_20240305_090702_D", 3, 30, true};
    Make({rec,
          {"EVENT_20240305_091500_D", 2},
          {"REC_20240305_091000_S", 2, 30, false},
          {"MANUAL_20240305_092000_D", 2}});
    ASSERT_EQ(drive, 1);

    std::map<int, size_t> perCategory;
    for (int c = 0; c < 4; ++c)
        perCategory[c] = List(c).size();
    EXPECT_EQ(perCategory, (std::map<int, size_t>{{0, 1}, {1, 2}, {2, 0}, {3, 1}}));
    const std::vector<ListedEntry> continuous = List(1);
    EXPECT_EQ(continuous[0].name, rec.name);
    EXPECT_EQ(continuous[0].index, 0);
    EXPECT_EQ(continuous[1].index, 1);
    EXPECT_EQ(continuous[0].size,
              static_cast<int64_t>(std::filesystem::file_size(RecordingFile("REC", rec.name))));
    EXPECT_EQ(library->CountEntries(0, 1), 0); // no such drive
    EXPECT_EQ(library->CountEntries(drive, 7), 0);

    TatDescription d;
    ASSERT_TRUE(library->DescribeByIndex(rec.name, 0, d));
    const tat::InfoBlock info = tat::InfoBlock::Decode(d.info);
    EXPECT_EQ(LoadU16LE(d.info + 52), 1280); // front width
    EXPECT_EQ(LoadU16LE(d.info + 54), 640);  // rear width
    EXPECT_EQ(LoadU16LE(d.info + 20), 720);
    EXPECT_EQ(LoadU16LE(d.info + 22), 360);
    EXPECT_EQ(d.info[3], 30);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(d.frontFrames, 90);
    EXPECT_EQ(d.rearFrames, 90);
    EXPECT_STREQ(d.counts, "cntVideo0=90; cntVideo1=90; cntAudio=12; cntACC=30; cntGPS=3");
    EXPECT_NE(std::string(d.text).find("2024-03-05 09:07:02"), std::string::npos) << d.text;
    EXPECT_FALSE(library->DescribeByIndex(rec.name, 1, d)); // index 1 holds another name
    EXPECT_FALSE(library->DescribeByName("REC_19990101_000000_D", d));

    const int32_t number = library->RecordingNumberByName(1, rec.name);
    ASSERT_EQ(number, 0);
    EXPECT_EQ(library->RecordingNumberByIndex(1, 1), 1);
    EXPECT_EQ(library->RecordingNumberByIndex(1, 5), -1);
    library->SelectRecording(1, 0, number);
    TatReadStatus status = TatPacket;
    const std::vector<Read> packets = ReadAll(status);
    EXPECT_EQ(status, TatEnd);
    const std::vector<TestTatPacket> written = TestRecordingPackets(rec);
    ASSERT_EQ(packets.size(), written.size());
    for (size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(packets[i].type, written[i].type) << i;
        EXPECT_EQ(packets[i].channel, written[i].channel) << i;
        EXPECT_EQ(packets[i].payload, written[i].payload) << i;
    }
    EXPECT_EQ(ReadAll(status).size(), 0u); // stays at the end
    EXPECT_EQ(status, TatEnd);

    char config[2048];
    int32_t size = 2047;
    ASSERT_TRUE(library->ReadConfigText(config, size));
    EXPECT_EQ(std::string(config, static_cast<size_t>(size)), TestConfigText());
}

TEST_F(TatCard, SeekLandsOnTheFrontKeyFrameOfTheSecond) {
    const TestRecording rec{"EVENT_20240305_091500_D", 5, 30, true, 15};
    Make({rec});
    library->SelectRecording(0, 0, 0);
    TatReadStatus status;
    for (int second : {3, 0, 4, 2}) {
        ASSERT_EQ(library->SeekSeconds(second, 5), 0);
        const std::vector<Read> first = ReadAll(status, 1);
        ASSERT_EQ(first.size(), 1u);
        EXPECT_EQ(first[0].type, tat::VideoKeyFrame);
        EXPECT_EQ(first[0].channel, 0);
        EXPECT_EQ(FrameOfPayload(first[0].payload.data()), static_cast<uint32_t>(second * 30));
    }
    EXPECT_EQ(library->SeekSeconds(5, 5), -1);
    EXPECT_EQ(library->SeekSeconds(-1, 5), -1);

    // Key frames every 45 frames: second 1 (frame 30) starts from the key frame at frame 0.
    TempDir other;
    MakeTestCard(other.Path().string(), {{"REC_20240305_091000_D", 3, 30, true, 45}});
    CTATLibrary sparse(TatCardSource{other.Path().string(), false, "", ""});
    const uint8_t d = sparse.PollCardDrive();
    ASSERT_EQ(d, 1);
    sparse.SelectRecording(1, 0, 0);
    ASSERT_EQ(sparse.SeekSeconds(1, 3), 0);
    uint8_t channel = 0, type = 0, flags = 0;
    uint32_t scratch = 0;
    std::vector<uint8_t> buffer(4096);
    int32_t size = 4096;
    ASSERT_EQ(sparse.ReadPacket(channel, type, flags, size, buffer.data(), scratch), TatPacket);
    EXPECT_EQ(FrameOfPayload(buffer.data()), 0u);
    EXPECT_EQ(flags, 1);
}

TEST_F(TatCard, CutOffRecordingIsHiddenFromTheListButItsIntactPartReads) {
    const TestRecording cut{"PARKING_20240305_093000_D", 4, 30, true, 30, false};
    Make({{"PARKING_20240305_092000_D", 2}, cut});
    const std::vector<ListedEntry> parking = List(2);
    ASSERT_EQ(parking.size(), 2u);
    EXPECT_GT(parking[0].size, 0);
    EXPECT_EQ(parking[1].size, 0); // the camera never closed it

    TatDescription d;
    ASSERT_TRUE(library->DescribeByIndex(cut.name, 1, d));
    EXPECT_STRNE(d.counts, "");
    EXPECT_NE(std::string(d.text).find("cut off"), std::string::npos);

    const std::vector<TestTatPacket> written = TestRecordingPackets(cut);
    const size_t whole = written.size() / 2 - 1; // the last one was cut in half
    library->SelectRecording(2, 0, 1);
    TatReadStatus status;
    const std::vector<Read> packets = ReadAll(status);
    EXPECT_EQ(status, TatEnd);
    ASSERT_EQ(packets.size(), whole);
    EXPECT_EQ(packets.back().payload, written[whole - 1].payload);
    // Its seek index was rebuilt from the packets it has.
    EXPECT_EQ(library->SeekSeconds(1, 4), 0);
}

// A cut-off recording is scanned in blocks: packets that straddle two blocks, and packets
// larger than a block, count as any other; its end is the last whole packet.
TEST_F(TatCard, CutOffRecordingScanSpansReadBlocks) {
    Make({});
    const std::string name = "MANUAL_20240305_094000_S";
    CTATCardWriter writer(dir.Path().string());
    tat::InfoBlock info;
    info.frontFrameRate = 30;
    ASSERT_TRUE(writer.BeginRecording(name, info));
    std::vector<std::vector<uint8_t>> payloads;
    for (size_t p = 0; p < 40; ++p) {
        const size_t size = p % 9 == 4   ? CTATRecordingReader::kScanBlock + 1000 + p
                            : p % 9 == 7 ? tat::kMaxPacketSize
                                         : 777 + 5000 * p;
        std::vector<uint8_t> payload(size, static_cast<uint8_t>(p));
        ASSERT_TRUE(writer.AddPacket(p % 30 == 0 ? tat::VideoKeyFrame : tat::VideoFrame, 0,
                                     payload.data(), static_cast<uint32_t>(size)));
        payloads.push_back(std::move(payload));
    }
    writer.AbandonRecording(true); // the file ends inside the last packet
    payloads.pop_back();

    TatDescription d;
    ASSERT_TRUE(library->DescribeByName(name, d));
    EXPECT_EQ(d.frontFrames, 39);
    library->SelectRecording(3, 0, 0);
    TatReadStatus status;
    const std::vector<Read> packets = ReadAll(status);
    EXPECT_EQ(status, TatEnd);
    ASSERT_EQ(packets.size(), payloads.size());
    for (size_t p = 0; p < payloads.size(); ++p)
        EXPECT_EQ(packets[p].payload, payloads[p]) << p;
}

TEST_F(TatCard, DamageStopsReadingAtTheDamagedPacket) {
    const TestRecording rec{"REC_20240305_090702_S", 2, 30, false};
    Make({rec});
    const std::string path = RecordingFile("REC", rec.name);
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    // Flip one payload byte of the 10th packet.
    size_t at = tat::kRecordingHeaderSize;
    for (int i = 0; i < 9; ++i)
        at += tat::kPacketHeaderSize + LoadU32LE(bytes.data() + at + 4);
    bytes[at + tat::kPacketHeaderSize + 3] ^= 0x40;
    WriteFileBytes(path, bytes);

    library->SelectRecording(1, 0, 0);
    TatReadStatus status;
    EXPECT_EQ(ReadAll(status).size(), 9u);
    EXPECT_EQ(status, TatFailed);

    // A damaged header makes the recording unreadable, not a crash.
    bytes[20] ^= 1;
    WriteFileBytes(path, bytes);
    TatDescription d;
    EXPECT_FALSE(library->DescribeByName(rec.name, d));
    library->SelectRecording(1, 0, 0);
    EXPECT_EQ(ReadAll(status).size(), 0u);
    EXPECT_EQ(status, TatFailed);
}

TEST_F(TatCard, DamagedDirectoryEntriesAndVolumeAreSkipped) {
    Make({{"EVENT_20240305_091500_D", 1}, {"EVENT_20240305_091600_D", 1}});
    const std::string dirFile = (dir.Path() / "TATSTORE" / "EVENT.DIR").string();
    std::vector<uint8_t> bytes = ReadFileBytes(dirFile);
    bytes[tat::kDirHeaderSize + 5] ^= 1;   // first entry's name
    bytes.resize(bytes.size() + 20, 0xAB); // a torn append
    WriteFileBytes(dirFile, bytes);
    const std::vector<ListedEntry> events = List(0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "EVENT_20240305_091600_D");

    // The camera's next recording takes the torn entry's place.
    CTATCardWriter writer(dir.Path().string());
    tat::InfoBlock info;
    info.frontFrameRate = 30;
    ASSERT_TRUE(writer.BeginRecording("EVENT_20240305_091700_S", info));
    ASSERT_TRUE(writer.FinishRecording());
    EXPECT_EQ(List(0).size(), 2u);
    EXPECT_FALSE(writer.BeginRecording("EVENT_20240305_091600_D", info)); // already there
    EXPECT_FALSE(writer.BeginRecording("bad name", info));
    EXPECT_FALSE(writer.BeginRecording("XYZ_20240305_091600_D", info));

    const std::string volume = (dir.Path() / "TATSTORE" / "VOLUME.TAT").string();
    bytes = ReadFileBytes(volume);
    bytes.back() ^= 1;
    WriteFileBytes(volume, bytes);
    library->MountCard();
    char config[64];
    int32_t size = 63;
    EXPECT_FALSE(library->ReadConfigText(config, size));
}

TEST_F(TatCard, AnEntryWhoseNameIsAPathOpensNoFile) {
    Make({{"EVENT_20240305_091500_D", 1}});
    // A card whose directory names a file outside the category's folder, and holds the
    // folders the path passes through.
    const std::string inside = RecordingFile("EVENT", "EVENT_20240305_091500_D");
    const std::vector<uint8_t> recording = ReadFileBytes(inside);
    WriteFileBytes((dir.Path() / "outside.TRD").string(), recording);
    std::filesystem::create_directories(dir.Path() / "TATSTORE" / "EVENT" / "E");
    const std::string name = "E/../../../outside";
    tat::DirEntry entry;
    std::memcpy(entry.name, name.c_str(), name.size() + 1);
    entry.size = recording.size();
    entry.index = 1;
    entry.state = tat::EntryState::Closed;
    const std::string dirFile = (dir.Path() / "TATSTORE" / "EVENT.DIR").string();
    std::vector<uint8_t> bytes = ReadFileBytes(dirFile);
    bytes.resize(bytes.size() + tat::kDirEntrySize);
    entry.Encode(bytes.data() + bytes.size() - tat::kDirEntrySize);
    WriteFileBytes(dirFile, bytes);

    ASSERT_EQ(List(0).size(), 2u) << "the entry is listed as it stands";
    TatDescription description;
    EXPECT_FALSE(library->DescribeByName(name, description));
    EXPECT_FALSE(library->DescribeByIndex(name, 1, description));
    const int32_t number = library->RecordingNumberByName(0, name);
    ASSERT_EQ(number, 1);
    library->SelectRecording(0, 0, number);
    TatReadStatus status = TatPacket;
    EXPECT_TRUE(ReadAll(status).empty());
    EXPECT_EQ(status, TatFailed);
    // The recording inside the store still opens.
    EXPECT_TRUE(library->DescribeByName("EVENT_20240305_091500_D", description));
}

TEST_F(TatCard, DiscardedRecordingLeavesNothingAndItsNameCanBeUsedAgain) {
    Make({{"MANUAL_20240305_091512_D", 1}});
    CTATCardWriter writer(dir.Path().string());
    tat::InfoBlock info;
    info.frontFrameRate = 30;
    const std::string name = "MANUAL_20240305_092000_S";
    ASSERT_TRUE(writer.BeginRecording(name, info));
    const uint8_t payload[4] = {1, 2, 3, 4};
    ASSERT_TRUE(writer.AddPacket(tat::VideoKeyFrame, 0, payload, sizeof payload));
    ASSERT_TRUE(writer.DiscardRecording());
    EXPECT_FALSE(std::filesystem::exists(RecordingFile("MANUAL", name)));
    ASSERT_EQ(List(3).size(), 1u);
    EXPECT_EQ(library->RecordingNumberByName(3, name), -1);

    ASSERT_TRUE(writer.BeginRecording(name, info));
    ASSERT_TRUE(writer.AddPacket(tat::VideoKeyFrame, 0, payload, sizeof payload));
    ASSERT_TRUE(writer.FinishRecording());
    const std::vector<ListedEntry> manual = List(3);
    ASSERT_EQ(manual.size(), 2u);
    EXPECT_EQ(manual[1].name, name);
    EXPECT_EQ(manual[1].index, 1);           // in the discarded entry's slot
    EXPECT_FALSE(writer.DiscardRecording()); // nothing open
}

// Imports that fail or are interrupted must not use up the directory or block the name: an
// entry that was never closed is replaced by the next try of its name, and deleted entries
// give their slots to new recordings, so the directory does not grow.
TEST_F(TatCard, InterruptedAndDeletedEntriesGiveTheirSlotsBack) {
    Make({{"REC_20240305_090000_D", 1}, {"REC_20240305_090100_D", 1}});
    const auto dirFile = dir.Path() / "TATSTORE" / "REC.DIR";
    const auto dirSize = std::filesystem::file_size(dirFile);
    tat::InfoBlock info;
    info.frontFrameRate = 30;
    const uint8_t payload[4] = {1, 2, 3, 4};
    const std::string name = "REC_20240305_090200_S";
    {
        CTATCardWriter interrupted(dir.Path().string());
        ASSERT_TRUE(interrupted.BeginRecording(name, info));
        ASSERT_TRUE(interrupted.AddPacket(tat::VideoKeyFrame, 0, payload, sizeof payload));
        interrupted.AbandonRecording(false); // killed mid-write
    }
    CTATCardWriter writer(dir.Path().string());
    ASSERT_TRUE(writer.BeginRecording(name, info)) << writer.Error();
    ASSERT_TRUE(writer.AddPacket(tat::VideoKeyFrame, 0, payload, sizeof payload));
    ASSERT_TRUE(writer.FinishRecording());
    std::vector<ListedEntry> rec = List(1);
    ASSERT_EQ(rec.size(), 3u);
    EXPECT_EQ(rec[2].name, name);
    EXPECT_EQ(rec[2].index, 2);
    EXPECT_GT(rec[2].size, 0);
    // A closed recording is never replaced.
    EXPECT_FALSE(writer.BeginRecording(name, info));
    EXPECT_EQ(writer.Error(), "the card already holds " + name);

    // Deleted as the camera does: hidden, its file gone, its slot the next recording's.
    ASSERT_TRUE(writer.DeleteRecording("REC_20240305_090000_D")) << writer.Error();
    EXPECT_FALSE(std::filesystem::exists(RecordingFile("REC", "REC_20240305_090000_D")));
    EXPECT_EQ(library->RecordingNumberByName(1, "REC_20240305_090000_D"), -1);
    EXPECT_FALSE(writer.DeleteRecording("REC_20240305_090000_D"));
    EXPECT_EQ(writer.Error(), "no recording REC_20240305_090000_D on the card");
    for (int attempt = 0; attempt < 5; ++attempt) {
        ASSERT_TRUE(writer.BeginRecording("REC_20240305_090300_S", info));
        ASSERT_TRUE(writer.DiscardRecording());
    }
    ASSERT_TRUE(writer.BeginRecording("REC_20240305_090300_S", info));
    ASSERT_TRUE(writer.AddPacket(tat::VideoKeyFrame, 0, payload, sizeof payload));
    ASSERT_TRUE(writer.FinishRecording());
    rec = List(1);
    ASSERT_EQ(rec.size(), 3u);
    EXPECT_EQ(rec[0].name, "REC_20240305_090300_S");
    EXPECT_EQ(rec[0].index, 0);
    EXPECT_EQ(std::filesystem::file_size(dirFile), dirSize + tat::kDirEntrySize);
}

TEST_F(TatCard, WriterFailuresSayWhy) {
    Make({});
    tat::InfoBlock info;
    CTATCardWriter writer(dir.Path().string());
    const auto dirFile = dir.Path() / "TATSTORE" / "EVENT.DIR";
    std::filesystem::remove(dirFile);
    EXPECT_FALSE(writer.BeginRecording("EVENT_20240305_090000_S", info));
    EXPECT_EQ(writer.Error(), "no storage on the card: " + dirFile.string() + " is missing");
    std::filesystem::create_directory(dirFile);
    EXPECT_FALSE(writer.BeginRecording("EVENT_20240305_090000_S", info));
    EXPECT_EQ(writer.Error(),
              "cannot open " + dirFile.string() + " for writing: " + std::strerror(EISDIR));

    // A write that fails part way names the recording's file.
    std::filesystem::remove(dirFile);
    Make({});
    ASSERT_TRUE(writer.BeginRecording("EVENT_20240305_090000_S", info)) << writer.Error();
    const std::vector<uint8_t> payload(4096, 7);
    WithFileSizeLimit(tat::kRecordingHeaderSize + 100, [&] {
        EXPECT_FALSE(writer.AddPacket(tat::VideoKeyFrame, 0, payload.data(), 4096));
    });
    const auto recording = dir.Path() / "TATSTORE" / "EVENT" /
                           ("EVENT_20240305_090000_S" + std::string(tat::kRecordingExtension));
    EXPECT_EQ(writer.Error(), "cannot write " + recording.string() + ": " + std::strerror(EFBIG));
}

// A recording the directory calls closed but whose file lost its end (a copy cut short, a
// damaged card) is read up to the damage, and that end is a failure, not the recording's end.
TEST_F(TatCard, AClosedRecordingCutShortEndsInAFailure) {
    const TestRecording rec{"REC_20240305_090702_S", 2, 30, false};
    Make({rec});
    const std::string path = RecordingFile("REC", rec.name);
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(std::filesystem::file_size(path) / 2)), 0);
    library->SelectRecording(1, 0, 0);
    TatReadStatus status;
    const size_t read = ReadAll(status).size();
    EXPECT_GT(read, 0u);
    EXPECT_LT(read, TestRecordingPackets(rec).size());
    EXPECT_EQ(status, TatFailed);
}

TEST_F(TatCard, StorageThatShrinksOrVanishesEndsTheRecording) {
    // Longer than the reader's read-ahead, so the cut is noticed while reading.
    const TestRecording rec{"REC_20240305_090702_D", 60, 30, true};
    Make({rec});
    const size_t total = TestRecordingPackets(rec).size();
    library->SelectRecording(1, 0, 0);
    TatReadStatus status;
    ASSERT_EQ(ReadAll(status, 5).size(), 5u);
    ASSERT_EQ(truncate(RecordingFile("REC", rec.name).c_str(), 1200000), 0);
    const std::vector<Read> rest = ReadAll(status);
    EXPECT_EQ(status, TatFailed);
    EXPECT_LT(rest.size() + 5, total);

    std::filesystem::remove_all(dir.Path() / "TATSTORE");
    EXPECT_EQ(library->PollCardDrive(), 0);
    EXPECT_EQ(library->CountEntries(1, 1), 0);
    EXPECT_EQ(ReadAll(status).size(), 0u);
    EXPECT_EQ(status, TatFailed);
    TatDescription d;
    EXPECT_FALSE(library->DescribeByName(rec.name, d));
}

// Reading several packets at once hands out the stored bytes unchecked: they must be exactly
// the file's, in whole packets, and the start of the next packet kept by the caller must
// continue them seamlessly. Damage in a header stops the run after the packets before it.
TEST_F(TatCard, RawReadsGiveTheStoredPacketsWholeAndStopAtADamagedHeader) {
    const TestRecording rec{"REC_20240305_090702_D", 4, 30, true};
    Make({rec});
    const std::string path = RecordingFile("REC", rec.name);
    std::vector<uint8_t> file = ReadFileBytes(path);
    const uint64_t dataEnd = LoadU64LE(file.data() + file.size() - tat::kFooterSize + 8);
    const std::vector<uint8_t> stored(file.begin() + tat::kRecordingHeaderSize,
                                      file.begin() + static_cast<std::ptrdiff_t>(dataEnd));

    // Reads of a few KiB into one buffer, keeping what follows the whole packets at its start
    // (or, every third read, handing it back as not kept).
    std::vector<uint8_t> buffer(20000);
    auto readAll = [&](TatReadStatus& last) {
        std::vector<uint8_t> out;
        int32_t held = 0;
        for (int read = 0;; ++read) {
            const int32_t keep = read % 3 == 2 ? 0 : held;
            const TatRawPackets raw =
                library->ReadRawPackets(buffer.data(), static_cast<int32_t>(buffer.size()), keep);
            last = raw.status;
            if (raw.status != TatPacket)
                return out;
            // Fresh reads land where the address matches the file offset.
            const uintptr_t address =
                reinterpret_cast<uintptr_t>(buffer.data()) + static_cast<uintptr_t>(raw.start);
            if (keep == 0) {
                EXPECT_EQ((address - tat::kRecordingHeaderSize - out.size()) %
                              CTATLibrary::kRawAlignment,
                          0u)
                    << "read " << read;
            }
            const uint8_t* packets = buffer.data() + raw.start;
            out.insert(out.end(), packets, packets + raw.length);
            std::memmove(buffer.data(), packets + raw.length, static_cast<size_t>(raw.held));
            held = raw.held;
            if (read > 100000)
                return out;
        }
    };
    library->SelectRecording(1, 0, 0);
    TatReadStatus status = TatPacket;
    EXPECT_EQ(readAll(status), stored);
    EXPECT_EQ(status, TatEnd);

    // A packet larger than the room says how much it needs and stays next.
    library->SelectRecording(1, 0, 0);
    const int32_t first = static_cast<int32_t>(
        tat::kPacketHeaderSize + LoadU32LE(file.data() + tat::kRecordingHeaderSize + 4));
    TatRawPackets raw = library->ReadRawPackets(buffer.data(), first - 1, 0);
    EXPECT_EQ(raw.status, TatNoPacket);
    EXPECT_EQ(raw.needed, first);
    // Room for it wherever it lands, and for the next header but not the next payload.
    const int32_t room =
        first + static_cast<int32_t>(CTATLibrary::kRawAlignment - 1 + tat::kPacketHeaderSize);
    raw = library->ReadRawPackets(buffer.data(), room, 0);
    ASSERT_EQ(raw.status, TatPacket);
    EXPECT_EQ(raw.length, first);
    // After a seek the bytes held from before count for nothing.
    ASSERT_EQ(library->SeekSeconds(2, 4), 0);
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    raw = library->ReadRawPackets(buffer.data(), static_cast<int32_t>(buffer.size()), 5000);
    ASSERT_EQ(raw.status, TatPacket);
    EXPECT_EQ(buffer[static_cast<size_t>(raw.start)], 'P');

    // The CRC is the caller's to check, so a damaged payload passes; a damaged header does not.
    size_t at = tat::kRecordingHeaderSize;
    for (int i = 0; i < 40; ++i)
        at += tat::kPacketHeaderSize + LoadU32LE(file.data() + at + 4);
    file[at + 1] ^= 1;
    WriteFileBytes(path, file);
    library->SelectRecording(1, 0, 0);
    const std::vector<uint8_t> before = readAll(status);
    EXPECT_EQ(status, TatFailed);
    EXPECT_EQ(before, std::vector<uint8_t>(stored.begin(),
                                           stored.begin() + static_cast<std::ptrdiff_t>(
                                                                at - tat::kRecordingHeaderSize)));
    EXPECT_EQ(library->ReadRawPackets(buffer.data(), 100, 0).status, TatFailed);
}

TEST(TatCardFinder, FindsRemovableVolumesWithStorage) {
    TempDir dir;
    const std::string card = (dir.Path() / "my card").string();
    MakeTestCard(card, {});
    std::filesystem::create_directories(dir.Path() / "sys" / "sdb");
    std::filesystem::create_directories(dir.Path() / "sys" / "sda");
    WriteFileBytes((dir.Path() / "sys" / "sdb" / "removable").string(), {'1', '\n'});
    WriteFileBytes((dir.Path() / "sys" / "sda" / "removable").string(), {'0', '\n'});
    const std::string escaped = dir.Path().string() + "/my\\040card";
    const std::string mounts = "/dev/sda1 " + escaped + " ext4 rw 0 0\n" +
                               "tmpfs /tmp tmpfs rw 0 0\n" + "/dev/sdb1 " + escaped +
                               " vfat rw 0 0\n" + "/dev/mmcblk0p1 /nowhere vfat rw 0 0\n";
    const std::string mountsFile = dir.File("mounts");
    WriteFileBytes(mountsFile, std::vector<uint8_t>(mounts.begin(), mounts.end()));
    EXPECT_EQ(FindRemovableCards(mountsFile, (dir.Path() / "sys").string()),
              std::vector<std::string>{card});

    CTATLibrary library(TatCardSource{"", true, mountsFile, (dir.Path() / "sys").string()});
    EXPECT_EQ(library.PollCardDrive(), 1);
    EXPECT_EQ(library.CardRoot(), card);

    EXPECT_EQ(BlockDeviceOf("sdb1"), "sdb");
    EXPECT_EQ(BlockDeviceOf("mmcblk0p1"), "mmcblk0");
    EXPECT_EQ(BlockDeviceOf("nvme0n1p2"), "nvme0n1");
    EXPECT_EQ(BlockDeviceOf("mmcblk0"), "mmcblk0");
    EXPECT_EQ(UnescapeMountPath("/media/a\\040b\\134c\\0"), "/media/a b\\c\\0");
}

TEST(TatChecksum, KnownValueAndBothPathsAgree) {
    EXPECT_EQ(Crc32c("123456789", 9), 0xE3069283u);
    // Sizes around the three-lane blocks of the fast path, at odd start addresses too.
    std::vector<uint8_t> data(30011);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + (i >> 9) + 3);
    for (size_t start : {0u, 3u})
        for (size_t n : {0u, 1u, 7u, 8u, 9u, 767u, 768u, 1000u, 6143u, 6144u, 6145u, 30000u})
            EXPECT_EQ(Crc32c(data.data() + start, n), Crc32cSoftwareForTest(data.data() + start, n))
                << n << " from " << start;
    EXPECT_EQ(Crc32c(data.data() + 10, 29990, Crc32c(data.data(), 10)), Crc32c(data.data(), 30000));
}

} // namespace

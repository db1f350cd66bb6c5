// tatcard export as a user runs it: one recording to a file, several to a folder, and what it
// does when the target is the card itself, a recording is damaged or the card fails to read.
#include "TatcardProgram.h"
#include "base/ByteOrder.h"
#include "formats/CAVIExtractor.h"
#include "formats/ChunkId.h"
#include "storage/TatFormat.h"
#include "tests/support/TatTestCards.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Q(const fs::path& path) {
    return Quoted(path.string());
}

// Every file under a folder and its bytes, by path relative to it.
std::map<std::string, std::vector<uint8_t>> Snapshot(const fs::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] =
                ReadFileBytes(entry.path().string());
    return files;
}

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Offsets of the packets of a recording file, in order.
std::vector<size_t> PacketOffsets(const std::vector<uint8_t>& file) {
    std::vector<size_t> offsets;
    size_t at = tat::kRecordingHeaderSize;
    while (at + tat::kPacketHeaderSize <= file.size() && file[at] == 'P' && file[at + 1] == 'K') {
        offsets.push_back(at);
        at += tat::kPacketHeaderSize + LoadU32LE(file.data() + at + 4);
    }
    return offsets;
}

bool IsFrontFrame(const std::vector<uint8_t>& file, size_t packetAt) {
    const uint8_t type = file[packetAt + 2];
    return (type == tat::VideoKeyFrame || type == tat::VideoFrame) && file[packetAt + 3] == 0;
}

// The media chunks of an exported file; fails the test unless the file reads to its end.
size_t ChunksOf(const std::string& path) {
    CAVIExtractor reader;
    if (reader.Open(path, nullptr) <= 0) {
        ADD_FAILURE() << "cannot open " << path;
        return 0;
    }
    std::vector<uint8_t> buffer(kPacketBufferSize);
    size_t chunks = 0;
    char id[5] = {};
    for (int32_t size = kPacketBufferSize; reader.ReadChunk(id, buffer.data(), size) >= 0;
         size = kPacketBufferSize)
        chunks += IsMediaChunkId(id) ? 1u : 0u;
    EXPECT_EQ(reader.LastReadEnd(), ReadEnd::kEnded) << path;
    return chunks;
}

class ExportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_card = SharedTestCard();
        ASSERT_FALSE(m_card.empty()) << "tatcard demo failed";
        fs::create_directory(m_out);
    }

    // A copy of the shared card that the test may change.
    fs::path CopyOfCard() {
        const fs::path copy = m_scratch.Path() / "card";
        fs::copy(m_card, copy, fs::copy_options::recursive);
        return copy;
    }

    std::string m_card;
    TempDir m_scratch;
    const fs::path m_out = m_scratch.Path() / "out";
};

TEST_F(ExportCommandTest, TargetsInsideTheCardsStorageAreRefusedAndTheCardStaysWhole) {
    const fs::path card = CopyOfCard();
    const fs::path store = card / "TATSTORE";
    const auto before = Snapshot(card);
    const std::string name = "REC_20240305_085940_D";
    for (const fs::path& target :
         {store / "REC" / (name + ".TRD"), store / "REC.DIR", store / "VOLUME.TAT",
          store / "EVENT" / ".." / "new.avi", card / "." / "TATSTORE" / "REC" / "new.avi"}) {
        const TatcardRun r =
            RunTatcard("export " + Q(card) + " " + name + " " + Q(target), m_scratch);
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find("lies inside the card's storage"), std::string::npos) << r.err;
    }
    const TatcardRun batch =
        RunTatcard("export " + Q(card) + " --to " + Q(store / "REC") + " " + name, m_scratch);
    EXPECT_EQ(batch.status, 1);
    EXPECT_NE(batch.err.find(name + ": failed: "), std::string::npos) << batch.err;
    EXPECT_EQ(Snapshot(card), before);

    // The card still lists and exports as before.
    EXPECT_EQ(RunTatcard("ls " + Q(card), m_scratch).out,
              RunTatcard("ls " + Quoted(m_card), m_scratch).out);
    const TatcardRun again =
        RunTatcard("export " + Q(card) + " " + name + " " + Q(m_out / "x.avi"), m_scratch);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(Probe("-count_packets -show_entries stream=nb_read_packets -select_streams V",
                    (m_out / "x.avi").string()),
              "30\n30\n");
}

TEST_F(ExportCommandTest, BatchExportOfACategoryWritesTheRecordingsTheWindowLists) {
    // Recordings of 2 s: the two-channel ones reach the list's 512 KiB, the others do not.
    const fs::path card = m_scratch.Path() / "card2";
    ASSERT_EQ(RunCommand(Quoted(TatcardPath()) + " demo " + Q(card) + " --seconds 2"), 0);
    const TatcardRun r =
        RunTatcard("export " + Q(card) + " --to " + Q(m_out) + " --category event", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress line without a terminal";
    const std::vector<std::string> names = {"EVENT_20240305_090702_D.avi",
                                            "EVENT_20240305_174503_D.avi"};
    EXPECT_EQ(FolderNames(m_out), names);
    const std::vector<std::string> lines = SplitLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[2], "exported 2 of 2 recordings to " + m_out.string());
    for (const std::string& file : names) {
        const std::string path = (m_out / file).string();
        EXPECT_NE(r.out.find(path + ": "), std::string::npos) << file;
        EXPECT_EQ(Probe("-show_entries stream=codec_name,width,height -select_streams V", path),
                  "h264,1280,720\nh264,640,360\n");
        EXPECT_EQ(
            Probe("-count_packets -show_entries stream=nb_read_packets -select_streams V", path),
            "60\n60\n");
        EXPECT_EQ(Probe("-show_entries stream=codec_name,sample_rate -select_streams a", path),
                  "pcm_s16le,8000\n");
    }

    // All categories: every entry of 512 KiB or more; the cut-off one (size 0, counts known)
    // is not listed. A terminal gets a progress line.
    size_t listable = 0;
    std::istringstream listing(RunTatcard("ls " + Q(card), m_scratch).out);
    for (std::string entry, size, index; listing >> entry >> size >> index;) {
        listable += std::stoll(size) >= 524288 ? 1u : 0u;
        listing.ignore(1000, '\n');
    }
    const fs::path all = m_scratch.Path() / "all";
    fs::create_directory(all);
    std::string terminal;
    const int status = RunCommand("script -q -e -c " +
                                      Quoted(Quoted(TatcardPath()) + " export " + Q(card) +
                                             " --to " + Q(all) + " >/dev/null") +
                                      " /dev/null",
                                  &terminal);
    EXPECT_EQ(status, 0) << terminal;
    EXPECT_EQ(FolderNames(all).size(), listable);
    EXPECT_NE(terminal.find("exporting 1/" + std::to_string(listable) + " "), std::string::npos)
        << terminal;
}

TEST_F(ExportCommandTest, NamesThatAreNotPlainOrNotOnTheCardAreNamedAndFailTheBatch) {
    const TatcardRun r = RunTatcard("export " + Quoted(m_card) + " --to " + Q(m_out) +
                                        " EVENT_20240305_090702_D ../EVENT_20240305_090702_D "
                                        "REC_20991231_235959_D",
                                    m_scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(SplitLines(r.err),
              (std::vector<std::string>{
                  "tatcard: ../EVENT_20240305_090702_D: skipped: the name is not a plain file name",
                  "tatcard: REC_20991231_235959_D: failed: no such recording on the card"}));
    EXPECT_NE(
        r.out.find("exported 1 of 3 recordings to " + m_out.string() + " (1 failed, 1 skipped)\n"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(FolderNames(m_out), std::vector<std::string>{"EVENT_20240305_090702_D.avi"});
    EXPECT_FALSE(fs::exists(m_scratch.Path() / "EVENT_20240305_090702_D.avi"));
}

// A target folder that is missing is made with the folders above it, as cp and mkdir -p do;
// one that cannot be made, or would lie inside the card's storage, is told and nothing is
// exported.
TEST_F(ExportCommandTest, MissingTargetFoldersAreMadeUnlessTheyCannotBe) {
    const std::string name = "EVENT_20240305_090702_D";
    const fs::path nested = m_out / "a" / "b";
    const TatcardRun made =
        RunTatcard("export " + Quoted(m_card) + " --to " + Q(nested) + " " + name, m_scratch);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(FolderNames(nested), std::vector<std::string>{name + ".avi"});
    EXPECT_GT(ChunksOf((nested / (name + ".avi")).string()), 0u);
    EXPECT_NE(made.out.find("exported 1 of 1 recordings to " + nested.string()), std::string::npos)
        << made.out;

    WriteFileText((m_out / "file").string(), "x");
    const fs::path underFile = m_out / "file" / "sub";
    const TatcardRun blocked =
        RunTatcard("export " + Quoted(m_card) + " --to " + Q(underFile) + " " + name, m_scratch);
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.out, "");
    EXPECT_EQ(blocked.err,
              "tatcard: cannot create the folder " + underFile.string() + ": Not a directory\n");

    const fs::path card = CopyOfCard();
    const fs::path inStore = card / "TATSTORE" / "new" / "x";
    const TatcardRun refused =
        RunTatcard("export " + Q(card) + " --to " + Q(inStore) + " " + name, m_scratch);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("lies inside the card's storage"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(card / "TATSTORE" / "new"));
}

// One packet damaged a tenth of the way in: the part before it is exported and playable, and
// both forms say the export is incomplete and fail.
TEST_F(ExportCommandTest, DamagedRecordingExportsIncompleteWithAFailureStatus) {
    const fs::path card = CopyOfCard();
    const std::string name = "REC_20240305_090000_D";
    const std::string recording = (card / "TATSTORE" / "REC" / (name + ".TRD")).string();
    std::vector<uint8_t> bytes = ReadFileBytes(recording);
    const std::vector<size_t> packets = PacketOffsets(bytes);
    ASSERT_GT(packets.size(), 60u);
    const size_t damaged = packets.size() / 10;
    bytes[packets[damaged] + tat::kPacketHeaderSize + 20] ^= 0x10;
    WriteFileBytes(recording, bytes);
    long frontFrames = 0;
    for (size_t p = 0; p < damaged; ++p)
        frontFrames += IsFrontFrame(bytes, packets[p]) ? 1 : 0;

    const fs::path single = m_out / "single.avi";
    const TatcardRun r = RunTatcard("export " + Q(card) + " " + name + " " + Q(single), m_scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ASSERT_EQ(Lines(r.err), 1) << r.err;
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "tatcard: %s: incomplete: exported %.1f s of 1.0 s; the rest cannot be read\n",
                  name.c_str(), static_cast<double>(frontFrames) / 30);
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(Probe("-count_packets -show_entries stream=nb_read_packets -select_streams v:0",
                    single.string()),
              std::to_string(frontFrames) + "\n");

    const TatcardRun batch = RunTatcard("export " + Q(card) + " --to " + Q(m_out) + " " + name +
                                            " EVENT_20240305_090702_D",
                                        m_scratch);
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(SplitLines(batch.err).size(), 1u) << batch.err;
    EXPECT_EQ(batch.err.rfind("tatcard: " + name + ": incomplete: ", 0), 0u) << batch.err;
    EXPECT_NE(batch.out.find("(1 incomplete)"), std::string::npos) << batch.out;
    EXPECT_EQ(fs::file_size(m_out / (name + ".avi")), fs::file_size(single));
}

// A read error part-way through, injected with strace as a failing card would give it, ends
// the export as incomplete instead of as a shorter success.
TEST_F(ExportCommandTest, ReadErrorPartWayIsReportedInsteadOfTakenForTheEnd) {
    if (RunCommand("strace -f -o /dev/null true 2>/dev/null") != 0)
        GTEST_SKIP() << "strace is missing or may not trace here";
    // A long recording, read by the parser's reading thread in many reads: strace counts
    // each thread's reads apart, and the main thread's few (describing and opening the
    // recording) stay below the failing one.
    const fs::path card = m_scratch.Path() / "long-card";
    const std::string name = "REC_20240305_100000_D";
    MakeTestCard(card.string(), {TestRecording{name, 240, 30, true}});
    const fs::path whole = m_out / "whole.avi";
    ASSERT_EQ(RunTatcard("export " + Q(card) + " " + name + " " + Q(whole), m_scratch).status, 0);

    const fs::path cut = m_out / "cut.avi";
    std::string out;
    const int status = RunCommand("strace -f -o /dev/null -e inject=pread64:error=EIO:when=15+ " +
                                      Quoted(TatcardPath()) + " export " + Q(card) + " " + name +
                                      " " + Q(cut) + " 2>&1",
                                  &out);
    EXPECT_EQ(status, 1) << out;
    EXPECT_EQ(out.rfind("tatcard: " + name + ": incomplete: exported ", 0), 0u) << out;
    EXPECT_NE(out.find(" of 240.0 s; the rest cannot be read\n"), std::string::npos) << out;
    const size_t kept = ChunksOf(cut.string());
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, ChunksOf(whole.string()));
}

} // namespace

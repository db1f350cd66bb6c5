// tatcard import as a user runs it: a recording the other commands list, describe and
// export, and one clear line on standard error for every mistake, with nothing left on the
// card by a failed import.
#include "ImportInputs.h"
#include "TatcardProgram.h"
#include "storage/CTATCardWriter.h"
#include "tests/support/TempDir.h"
#include "tools/tatcard/DemoCard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kName = "REC_20240305_090702_D";

using Result = TatcardRun;

class ImportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(TestInputs().made) << TestInputs().failure;
        std::string error;
        ASSERT_TRUE(CTATCardWriter::CreateCard(m_card, DemoConfigText(), &error)) << error;
    }

    Result Run(const std::string& arguments) const { return RunTatcard(arguments, m_dir); }

    // import into the test card with the given sources and options.
    Result Import(const std::string& options) const {
        std::string arguments = "import ";
        arguments.append(Quoted(m_card)).append(" ").append(options);
        return Run(arguments);
    }

    std::string FullImport() const {
        std::string options = "--front ";
        options.append(Quoted(in.front))
            .append(" --rear ")
            .append(Quoted(in.rearLong))
            .append(" --nmea ")
            .append(Quoted(in.gpsLog))
            .append(" --category rec --name ")
            .append(kName);
        return options;
    }

    std::string Listing() const {
        std::string arguments = "ls ";
        return Run(arguments.append(Quoted(m_card))).out;
    }

    const ImportInputs& in = TestInputs();
    TempDir m_dir;
    std::string m_card = m_dir.File("card");
};

} // namespace

TEST_F(ImportCommandTest, MakesARecordingTheOtherCommandsRead) {
    const Result r = Import(FullImport());
    ASSERT_EQ(r.status, 0) << r.err;
    // Two seconds of small pictures: under the window's 512 KiB list rule, which is told.
    EXPECT_EQ(r.err.rfind("tatcard: warning: " + kName + " is ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("the window lists only recordings of 512 KiB (524288 bytes) or more"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_NE(r.out.find("50 front frames (copied), 50 rear frames (coded again), 8 sound "
                         "blocks, 3 GPS lines"),
              std::string::npos)
        << r.out;

    const std::string listing = Listing();
    EXPECT_EQ(listing.rfind(kName, 0), 0u) << listing;
    EXPECT_EQ(Lines(listing), 1) << listing;
    EXPECT_EQ(listing.find("incomplete"), std::string::npos) << listing;

    std::string arguments = "info ";
    const Result info = Run(arguments.append(Quoted(m_card)).append(" ").append(kName));
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("cntVideo0=50; cntVideo1=50; cntAudio=8; cntACC=0; cntGPS=3"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("320x240 at 25 fps, 50 frames"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("160x120 at 25 fps, 50 frames"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("2024-03-05 09:07:02"), std::string::npos) << info.out;

    // Exported, both picture streams decode whole and without complaint.
    const std::string avi = m_dir.File("out.avi");
    arguments = "export ";
    const Result exported = Run(
        arguments.append(Quoted(m_card)).append(" ").append(kName).append(" ").append(Quoted(avi)));
    ASSERT_EQ(exported.status, 0) << exported.err;
    std::string frames;
    EXPECT_EQ(RunCommand(std::string("ffprobe -v error -count_frames -select_streams V "
                                     "-show_entries stream=nb_read_frames -of csv=p=0 ") +
                             Quoted(avi),
                         &frames),
              0);
    EXPECT_EQ(frames, "50\n50\n");
    std::string errors;
    EXPECT_EQ(RunCommand(std::string("ffmpeg -nostdin -v error -i ") + Quoted(avi) +
                             " -map 0:v:0 -map 0:v:1 -map 0:a -f null - 2>&1",
                         &errors),
              0);
    EXPECT_EQ(errors, "");
}

TEST_F(ImportCommandTest, AnInterruptedImportIsReplacedByTheNextTry) {
    {
        // What an import killed mid-write leaves: an entry never closed, a partial file.
        CTATCardWriter killed(m_card);
        tat::InfoBlock info;
        info.frontFrameRate = 25;
        ASSERT_TRUE(killed.BeginRecording(kName, info));
        const uint8_t payload[4] = {0, 0, 0, 1};
        ASSERT_TRUE(killed.AddPacket(tat::VideoKeyFrame, 0, payload, sizeof payload));
        killed.AbandonRecording(true);
    }
    ASSERT_NE(Listing().find("(incomplete)"), std::string::npos);
    const Result r = Import(FullImport());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string listing = Listing();
    EXPECT_EQ(Lines(listing), 1) << listing;
    EXPECT_EQ(listing.find("(incomplete)"), std::string::npos) << listing;
    EXPECT_EQ(std::filesystem::file_size(m_card + "/TATSTORE/REC.DIR"),
              tat::kDirHeaderSize + tat::kDirEntrySize);
}

TEST_F(ImportCommandTest, ANameAlreadyOnTheCardIsRefused) {
    ASSERT_EQ(Import(FullImport()).status, 0);
    const std::string before = Listing();
    const Result again = Import(FullImport());
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, std::string("tatcard: the card already holds ") + kName + "\n");
    EXPECT_EQ(Listing(), before);
}

TEST_F(ImportCommandTest, MistakesGiveOneLineAndLeaveTheCardEmpty) {
    const std::string front = std::string("--front ") + Quoted(in.front);
    const std::string rear = std::string(" --rear ") + Quoted(in.rearLong);
    const std::string missing = Quoted(m_dir.File("missing.mp4"));
    const std::string rec = " --category rec --name ";
    const std::vector<std::string> mistakes = {
        "",
        front,
        front + " --category rec",
        front + " --name REC_20240305_090702_S",
        rec + "REC_20240305_090702_S",
        front + rec,
        front + " --category all --name REC_20240305_090702_S",
        front + " --category lorries --name REC_20240305_090702_S",
        front + " --category event --name REC_20240305_090702_S",
        front + rec + "REC_20240305_090702",
        front + rec + "REC_20240231_090702_S",
        front + rec + "REC_20240305_090702_D",
        front + rear + rec + "REC_20240305_090702_S",
        front + " --front " + Quoted(in.rearLong) + rec + "REC_20240305_090702_S",
        front + rec + "REC_20240305_090702_S extra",
        std::string("--front ") + missing + rec + "REC_20240305_090702_S",
        std::string("--front ") + Quoted(in.soundOnly) + rec + "REC_20240305_090702_S",
        std::string("--front ") + Quoted(in.gpsLog) + rec + "REC_20240305_090702_S",
        front + " --rear " + missing + rec + "REC_20240305_090702_D",
        front + " --nmea " + missing + rec + "REC_20240305_090702_S",
    };
    for (const std::string& options : mistakes) {
        const Result r = Import(options);
        EXPECT_NE(r.status, 0) << options;
        EXPECT_EQ(Lines(r.err), 1) << options << ": " << r.err;
        EXPECT_EQ(r.err.rfind("tatcard: ", 0), 0u) << options << ": " << r.err;
        EXPECT_EQ(r.out, "") << options;
    }
    EXPECT_EQ(Listing(), "");

    // No card at all.
    std::string arguments = "import ";
    arguments.append(Quoted(m_dir.File("no-card-here"))).append(" ").append(FullImport());
    const Result r = Run(arguments);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("tatcard: no card in ") + m_dir.File("no-card-here") + "\n");
}

TEST(ImportHelpTest, DescribesTheImport) {
    std::string out;
    EXPECT_EQ(RunCommand(Quoted(TatcardPath()) + " --help", &out), 0);
    for (const char* words :
         {"tatcard import DIR", "--front", "--rear", "--nmea", "--category", "--name", "_D", "_S"})
        EXPECT_NE(out.find(words), std::string::npos) << words;
}

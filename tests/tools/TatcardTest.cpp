// The tatcard program as a user runs it: a demonstration card, listing, describing and
// exporting its recordings, and one clear line on standard error for every mistake.
#include "TatcardProgram.h"
#include "player/audio/AudioOutputFactory.h"
#include "player/audio/CPulseAudio.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Result = TatcardRun;

struct Listed {
    long long size = 0;
    int index = 0;
    bool incomplete = false;
};

std::map<std::string, Listed> ParseListing(const std::string& out) {
    std::map<std::string, Listed> rows;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        Listed row;
        fields >> name >> row.size >> row.index;
        std::string rest;
        fields >> rest;
        row.incomplete = rest == "(incomplete)";
        rows[name] = row;
    }
    return rows;
}

// The suite's shared demonstration card (1 s per recording).
class TatcardTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_card = SharedTestCard();
        ASSERT_FALSE(m_card.empty()) << "tatcard demo failed";
    }

    std::string m_card;
    TempDir m_scratch;
};

} // namespace

TEST_F(TatcardTest, ListsRecordingsOfAllFourCategoriesAndTheCutOffOne) {
    const Result r = RunTatcard("ls '" + m_card + "'", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto rows = ParseListing(r.out);
    EXPECT_GE(rows.size(), 12u);
    std::set<std::string> categories;
    int incomplete = 0;
    for (const auto& [name, row] : rows) {
        categories.insert(name.substr(0, name.find('_')));
        if (row.incomplete) {
            ++incomplete;
            EXPECT_EQ(row.size, 0) << name;
        } else {
            EXPECT_GT(row.size, 0) << name;
        }
    }
    EXPECT_EQ(categories, (std::set<std::string>{"EVENT", "MANUAL", "PARKING", "REC"}));
    EXPECT_EQ(incomplete, 1);
}

TEST_F(TatcardTest, ListsOneCategoryWithItsEntryIndexes) {
    const auto all = ParseListing(RunTatcard("ls '" + m_card + "'", m_scratch).out);
    const char* words[] = {"event", "rec", "parking", "manual"};
    const char* prefixes[] = {"EVENT_", "REC_", "PARKING_", "MANUAL_"};
    size_t total = 0;
    for (int c = 0; c < 4; ++c) {
        const Result r = RunTatcard("ls '" + m_card + "' --category " + words[c], m_scratch);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto rows = ParseListing(r.out);
        EXPECT_GE(rows.size(), 2u) << words[c];
        std::set<int> indexes;
        for (const auto& [name, row] : rows) {
            EXPECT_EQ(name.rfind(prefixes[c], 0), 0u) << name;
            indexes.insert(row.index);
            ASSERT_EQ(all.count(name), 1u) << name;
            EXPECT_EQ(all.at(name).size, row.size) << name;
        }
        // Entry indexes are the positions in the category's directory: 0, 1, 2, ...
        EXPECT_EQ(indexes.size(), rows.size());
        EXPECT_EQ(*indexes.begin(), 0);
        EXPECT_EQ(*indexes.rbegin(), static_cast<int>(rows.size()) - 1);
        total += rows.size();
    }
    EXPECT_EQ(total, all.size());
}

TEST_F(TatcardTest, InfoShowsTheCountsTextAndMarksTheCutOffRecording) {
    const Result r = RunTatcard("info '" + m_card + "' EVENT_20240305_090702_D", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    // 1 s at 30 fps, the 240 ms sound blocks that end before the last frame, 10 G-sensor
    // lines and 1 GPS line.
    EXPECT_NE(r.out.find("cntVideo0=30; cntVideo1=30; cntAudio=4; cntACC=10; cntGPS=1"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("1280x720"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("640x360"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("incomplete"), std::string::npos) << r.out;

    const Result cut = RunTatcard("info '" + m_card + "' REC_20240305_093000_D", m_scratch);
    ASSERT_EQ(cut.status, 0) << cut.err;
    EXPECT_NE(cut.out.find("incomplete"), std::string::npos) << cut.out;
}

TEST_F(TatcardTest, ExportGivesTwoH264StreamsAndPcmSound) {
    const std::string avi = m_scratch.File("event.avi");
    const Result r =
        RunTatcard("export '" + m_card + "' EVENT_20240305_090702_D '" + avi + "'", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string streams =
        Probe("-show_entries stream=codec_name,codec_type,width,height -select_streams V", avi) +
        Probe("-show_entries stream=codec_name,sample_rate,channels -select_streams a", avi);
    EXPECT_EQ(streams, "h264,video,1280,720\nh264,video,640,360\npcm_s16le,8000,1\n");
    const std::string frames =
        Probe("-count_frames -show_entries stream=nb_read_frames -select_streams V", avi);
    EXPECT_EQ(frames, "30\n30\n");
    std::string errors;
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + avi +
                             "' -map 0:v:0 -map 0:v:1 -map 0:a -f null - 2>&1",
                         &errors),
              0);
    EXPECT_EQ(errors, "");
}

TEST_F(TatcardTest, ExportOfAFrontOnlyRecordingHasOneVideoStream) {
    const std::string avi = m_scratch.File("front.avi");
    const Result r =
        RunTatcard("export '" + m_card + "' REC_20240305_090030_S '" + avi + "'", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Probe("-show_entries stream=codec_name -select_streams V", avi), "h264\n");
    EXPECT_EQ(Probe("-show_entries stream=codec_name -select_streams a", avi), "pcm_s16le\n");
}

TEST_F(TatcardTest, MistakesGiveOneLineOnStandardErrorAndAFailureStatus) {
    const std::string card = "'" + m_card + "'";
    const std::string out = "'" + m_scratch.File("x.avi") + "'";
    const std::vector<std::string> mistakes = {
        "",
        "frobnicate",
        "ls",
        "ls " + card + " --category lorries",
        "ls " + card + " --category",
        "ls " + card + " extra",
        "info " + card,
        "export " + card + " EVENT_20240305_090702_D",
        "demo",
        "demo " + card,
        "demo '" + m_scratch.File("d") + "' --seconds 0",
        "demo '" + m_scratch.File("d") + "' --front 1921x1080",
        "demo '" + m_scratch.File("d") + "' --front big",
        "demo '" + m_scratch.File("d") + "' --fps 61",
        "demo '" + m_scratch.File("d") + "' --fps",
        "ls '" + m_scratch.File("no-card-here") + "'",
        "info '" + m_scratch.File("no-card-here") + "' EVENT_20240305_090702_D",
        "info " + card + " EVENT_20991231_235959_D",
        "info " + card + " NOTHING",
        "export " + card + " REC_20991231_235959_D " + out,
        "export " + card + " --to",
        "export --to " + out,
        "export " + card + " --to /dev/null/no-folder", // a folder that cannot be made
        "export " + card + " --to " + out + " --category lorries",
        "export " + card + " --to " + out + " --category event EVENT_20240305_090702_D",
        "export " + card + " --to " + out + " --force",
        "play " + card,
        "play " + card + " EVENT_20240305_090702_D --step 0",
        "play " + card + " EVENT_20240305_090702_D --seek-ms later",
        "play " + card + " EVENT_20240305_090702_D --size 10x10",
        "play " + card + " EVENT_20240305_090702_D --speed 9",
        "play " + card + " EVENT_20240305_090702_D --speed fast",
        "play " + card + " EVENT_20240305_090702_D --frame-step 0",
        "play " + card + " EVENT_20240305_090702_D --seek-ms 100,",
        "play " + card + " EVENT_20991231_235959_D",
        "bench " + card,
        "bench " + card + " EVENT_20240305_090702_D --size big",
    };
    for (const std::string& arguments : mistakes) {
        const Result r = RunTatcard(arguments, m_scratch);
        EXPECT_NE(r.status, 0) << arguments;
        EXPECT_EQ(Lines(r.err), 1) << arguments << ": " << r.err;
        EXPECT_EQ(r.err.rfind("tatcard: ", 0), 0u) << arguments << ": " << r.err;
    }
}

// "play frames=30 duration_ms=1000 ..." as name → value.
std::map<std::string, double> Figures(const std::string& line, const std::string& head) {
    std::map<std::string, double> figures;
    std::istringstream in(line);
    std::string word;
    in >> word;
    EXPECT_EQ(word, head) << line;
    while (in >> word) {
        const size_t eq = word.find('=');
        if (eq == std::string::npos) {
            ADD_FAILURE() << "not name=value: " << word;
            continue;
        }
        figures[word.substr(0, eq)] = std::stod(word.substr(eq + 1));
    }
    return figures;
}

TEST_F(TatcardTest, PlayPrintsItsFiguresAfterPlayingEveryFrontPicture) {
    const Result r =
        RunTatcard("play '" + m_card + "' EVENT_20240305_090702_D --null-audio", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Lines(r.out), 1) << r.out;
    const auto f = Figures(r.out, "play");
    const std::vector<std::string> names = {
        "frames",          "duration_ms",       "wall_ms",
        "cpu_ms",          "interval_p50_ms",   "interval_p95_ms",
        "interval_p99_ms", "av_offset_mean_ms", "av_offset_drift_ms"};
    ASSERT_EQ(f.size(), names.size()) << r.out;
    for (const std::string& name : names)
        EXPECT_EQ(f.count(name), 1u) << name;
    EXPECT_EQ(f.at("frames"), 30);
    EXPECT_EQ(f.at("duration_ms"), 1000);
    EXPECT_GE(f.at("wall_ms"), 700) << "played at about the frame rate, not faster";
    EXPECT_GT(f.at("interval_p50_ms"), 20);
    EXPECT_LT(f.at("interval_p50_ms"), 45);
    EXPECT_FALSE(std::isnan(f.at("av_offset_mean_ms"))) << "the first second's flash and click";
}

TEST_F(TatcardTest, PlayThroughTheSoundServerKeepsThePicturesWithTheSound) {
    // The suite's private server (a null sink): the sound is timed by the server's play clock.
#ifdef TATV_TEST_PULSE_SERVER
    const char* old = std::getenv("PULSE_SERVER");
    const std::string before = old != nullptr ? old : "";
    setenv("PULSE_SERVER", TATV_TEST_PULSE_SERVER, 1);
    struct Restore {
        const std::string value;
        const bool had;
        ~Restore() {
            if (had)
                setenv("PULSE_SERVER", value.c_str(), 1);
            else
                unsetenv("PULSE_SERVER");
        }
    } restore{before, old != nullptr};
#endif
    if (!CPulseAudio::ServerAnswers())
        GTEST_SKIP() << "no sound server answers";
    const Result r = RunTatcard("play '" + m_card + "' EVENT_20240305_090702_D", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find(AudioOutputFactory::kNoServerLine), std::string::npos) << r.err;
    const auto f = Figures(r.out, "play");
    EXPECT_EQ(f.at("frames"), 30);
    ASSERT_FALSE(std::isnan(f.at("av_offset_mean_ms"))) << "the first second's flash and click";
    EXPECT_LT(std::abs(f.at("av_offset_mean_ms")), 100) << r.out;
}

TEST_F(TatcardTest, PlayWithASeekReportsTheTimeToItsFirstPicture) {
    const Result r = RunTatcard("play '" + m_card +
                                    "' REC_20240305_090030_S --null-audio --gap-ms 200 "
                                    "--seek-ms 0 --pause-ms 100",
                                m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto f = Figures(r.out, "play");
    ASSERT_EQ(f.count("seek_first_frame_ms"), 1u) << r.out;
    EXPECT_GT(f.at("seek_first_frame_ms"), 0);
    EXPECT_LT(f.at("seek_first_frame_ms"), 2000);
    EXPECT_GT(f.at("frames"), 30) << "the seek went back to the start";
}

TEST_F(TatcardTest, PlayTakesSeveralSeeksFrameStepsAndASpeed) {
    const Result r = RunTatcard("play '" + m_card +
                                    "' EVENT_20240305_090702_D --null-audio --gap-ms 100 "
                                    "--seek-ms 600,100 --frame-step 2 --speed 2",
                                m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto f = Figures(r.out, "play");
    for (const char* name : {"seek_first_frame_ms", "seek_p95_ms", "frame_step_ms", "on_time_pct"})
        ASSERT_EQ(f.count(name), 1u) << name << " in " << r.out;
    EXPECT_LE(f.at("seek_first_frame_ms"), f.at("seek_p95_ms"));
    EXPECT_LT(f.at("seek_p95_ms"), 2000);
    EXPECT_GT(f.at("frame_step_ms"), 0);
    EXPECT_GE(f.at("on_time_pct"), 0);
    EXPECT_LE(f.at("on_time_pct"), 100);
    EXPECT_GE(f.at("skipped"), 0);
}

TEST_F(TatcardTest, BenchDecodesEveryFrontAndRearPicture) {
    const Result r =
        RunTatcard("bench '" + m_card + "' EVENT_20240305_090702_D --size 320x180", m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto f = Figures(r.out, "bench");
    EXPECT_EQ(f.at("frames"), 60);
    EXPECT_GT(f.at("fps"), 0);
    EXPECT_EQ(f.count("wall_ms") + f.count("cpu_ms"), 2u);
}

TEST_F(TatcardTest, GpxAndCsvOfTheTextChannel) {
    // One GPS line (09:07:02 on the camera's clock, UTC + 9) and ten G-sensor lines.
    const std::string name = "EVENT_20240305_090702_D";
    const Result gpx = RunTatcard("gpx '" + m_card + "' " + name, m_scratch);
    ASSERT_EQ(gpx.status, 0) << gpx.err;
    EXPECT_NE(gpx.out.find("<name>" + name + "</name>"), std::string::npos) << gpx.out;
    EXPECT_NE(gpx.out.find("<time>2024-03-05T00:07:02Z</time>"), std::string::npos) << gpx.out;
    EXPECT_NE(gpx.out.find("<trkpt lat=\"37."), std::string::npos) << gpx.out;

    const std::string csvPath = m_scratch.File("track.csv");
    const Result csv = RunTatcard("csv '" + m_card + "' " + name + " '" + csvPath + "'", m_scratch);
    ASSERT_EQ(csv.status, 0) << csv.err;
    const std::string text = ReadFileText(csvPath);
    size_t samples = 0;
    for (size_t at = text.find(",gsensor,"); at != std::string::npos;
         at = text.find(",gsensor,", at + 1))
        ++samples;
    EXPECT_EQ(samples, 10u) << text;
    EXPECT_NE(text.find("\n0,fix,,,,37."), std::string::npos) << text;
    EXPECT_NE(text.find("\n900,gsensor,"), std::string::npos) << text;

    const Result missing = RunTatcard("gpx '" + m_card + "' NO_SUCH_NAME", m_scratch);
    EXPECT_NE(missing.status, 0);
    const Result inside =
        RunTatcard("gpx '" + m_card + "' " + name + " '" + m_card + "/TATSTORE/x.gpx'", m_scratch);
    EXPECT_NE(inside.status, 0);
    EXPECT_NE(inside.err.find("inside the card's storage"), std::string::npos) << inside.err;
}

// A copy of the shared card that a test may change: deleting, cutting a file short.
TEST_F(TatcardTest, RmDeletesARecordingAndPlayTellsARecordingCutShort) {
    const std::string card = m_scratch.File("card");
    std::filesystem::copy(m_card, card, std::filesystem::copy_options::recursive);
    const std::string name = "EVENT_20240305_090702_D";
    auto rows = ParseListing(RunTatcard("ls '" + card + "'", m_scratch).out);
    ASSERT_EQ(rows.count(name), 1u);
    // The window's list leaves out recordings under 512 KiB; ls says which.
    const std::string listing = RunTatcard("ls '" + card + "'", m_scratch).out;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string row;
        long long size = 0;
        fields >> row >> size;
        EXPECT_EQ(line.find("(under 512 KiB") != std::string::npos, size > 0 && size < 524288)
            << line;
    }

    Result r = RunTatcard("rm '" + card + "' " + name, m_scratch);
    ASSERT_EQ(r.status, 0) << r.err;
    rows = ParseListing(RunTatcard("ls '" + card + "'", m_scratch).out);
    EXPECT_EQ(rows.count(name), 0u);
    EXPECT_FALSE(std::filesystem::exists(card + "/TATSTORE/EVENT/" + name + ".TRD"));
    r = RunTatcard("rm '" + card + "' " + name, m_scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tatcard: no recording " + name + " on the card\n");

    const std::string cut = "REC_20240305_090030_S";
    const std::string file = card + "/TATSTORE/REC/" + cut + ".TRD";
    std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
    r = RunTatcard("play '" + card + "' " + cut + " --null-audio", m_scratch);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("tatcard: " + cut + ": the recording could not be read to its end"),
              std::string::npos)
        << r.err;
}

TEST(TatcardHelpTest, NamesEveryCommandAndOption) {
    const TempDir scratch;
    const Result r = RunTatcard("--help", scratch);
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"demo", "ls", "info", "rm", "export", "config", "import", "play",
                                "bench", "gpx", "csv", "verify"})
        EXPECT_NE(r.out.find(std::string("tatcard ") + command), std::string::npos) << command;
    for (const char* option :
         {"--seconds N",  "--category WORD", "--to FOLDER",  "--set KEY=VALUE", "--front F",
          "--rear R",     "--nmea LOG",      "--category C", "--name N",        "--seek-ms MS",
          "--step S",     "--pause-ms MS",   "--gap-ms MS",  "--limit-ms MS",   "--size WxH",
          "--null-audio", "--show",          "--verbose",    "--help",          "--json",
          "--front WxH",  "--fps N",         "--speed X",    "--frame-step N"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

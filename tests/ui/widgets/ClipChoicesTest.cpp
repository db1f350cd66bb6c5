// The clip export's plain logic: the line that plays turned into the recordings and offsets a
// clip's marks name (across a drive's borders, with the default spans), and the dialog's
// choices: what applies to a lossless copy, the checks before an export, the default target,
// the request they make and the texts at the end.
#include "ui/widgets/ClipChoices.h"
#include "tests/support/TempDir.h"
#include "ui/widgets/ClipLine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

constexpr uint16_t kEnglish = 0x09;
constexpr uint16_t kKorean = 0x12;

bool HasHangul(const std::string& text) {
    for (const char c : {'\xEA', '\xEB', '\xEC', '\xED'})
        if (text.find(c) != std::string::npos)
            return true;
    return false;
}

SourceRecording Recording(const std::string& name, int category, CivilTime start) {
    SourceRecording recording;
    recording.name = name;
    recording.category = category;
    recording.start = start;
    return recording;
}

// A drive of three recordings played back to back: 10 s, 10 s (an event), 5 s, from 09:00:00
// with a second's gap before the last; the listing holds a fourth recording of another day in
// front of them.
struct Drive {
    std::vector<SourceRecording> listing = {
        Recording("20240304_120000_N", 1, {2024, 3, 4, 12, 0, 0}),
        Recording("20240305_090000_N", 1, {2024, 3, 5, 9, 0, 0}),
        Recording("20240305_090010_E", 0, {2024, 3, 5, 9, 0, 10}),
        Recording("20240305_090021_N", 1, {2024, 3, 5, 9, 0, 21}),
    };
    TripPlan plan;
    Drive() {
        plan.members = {1, 2, 3};
        plan.segments = {
            {"a", 0, 10'000'000}, {"b", 10'000'000, 10'000'000}, {"c", 20'000'000, 5'000'000}};
        plan.lengthMs = 25000;
    }
    ClipLine Line() const { return ClipLine::OfDrive(plan, listing); }
};

ClipEnds SomeEnds() {
    ClipEnds ends;
    ends.from = {"20240305_090000_N", 4000};
    ends.to = {"20240305_090010_E", 3000};
    ends.line = {4000, 13000};
    ends.wallStartSec = CivilTime{2024, 3, 5, 9, 0, 4}.ToSeconds();
    ends.wallEndSec = CivilTime{2024, 3, 5, 9, 0, 13}.ToSeconds();
    return ends;
}

TEST(ClipLineTest, TimesOfADriveNameTheRecordingThatPlaysThereAndTheTimeIntoIt) {
    const ClipLine line = Drive().Line();
    ASSERT_EQ(line.Members().size(), 3u);
    EXPECT_EQ(line.LengthMs(), 25000);
    EXPECT_EQ(line.StartMark(0), (clips::ClipMark{"20240305_090000_N", 0}));
    EXPECT_EQ(line.StartMark(12500), (clips::ClipMark{"20240305_090010_E", 2500}));
    EXPECT_EQ(line.EndMark(24000), (clips::ClipMark{"20240305_090021_N", 4000}));
    // On a border a start names the later recording at its start, an end the earlier one at
    // its end: neither reaches into a recording the clip does not show.
    EXPECT_EQ(line.StartMark(10000), (clips::ClipMark{"20240305_090010_E", 0}));
    EXPECT_EQ(line.EndMark(10000), (clips::ClipMark{"20240305_090000_N", 10000}));
    EXPECT_EQ(line.EndMark(20000), (clips::ClipMark{"20240305_090010_E", 10000}));
    // Outside the line: its ends.
    EXPECT_EQ(line.StartMark(-500), (clips::ClipMark{"20240305_090000_N", 0}));
    EXPECT_EQ(line.EndMark(99000), (clips::ClipMark{"20240305_090021_N", 5000}));
    // The wall clock follows each recording's own start, the gap before the last one included.
    EXPECT_EQ(line.WallSecondsAt(22000, false), (CivilTime{2024, 3, 5, 9, 0, 23}.ToSeconds()));
}

TEST(ClipLineTest, MarksAcrossABorderAndTheDefaultsAroundAnEventBecomeTheClipsEnds) {
    const ClipLine line = Drive().Line();
    ClipMarks marks;
    marks.MarkStart(8000);
    marks.MarkEnd(13000);
    const ClipEnds marked = line.Ends(marks.Span(11000, line.LengthMs(), std::nullopt));
    EXPECT_EQ(marked.from, (clips::ClipMark{"20240305_090000_N", 8000}));
    EXPECT_EQ(marked.to, (clips::ClipMark{"20240305_090010_E", 3000}));
    EXPECT_EQ(marked.wallStartSec, (CivilTime{2024, 3, 5, 9, 0, 8}.ToSeconds()));
    EXPECT_EQ(marked.wallEndSec, (CivilTime{2024, 3, 5, 9, 0, 13}.ToSeconds()));

    // Without marks, playing inside the event recording: 30 s before its start (clamped to
    // the line's start) to 10 s after, which ends exactly on its own end.
    const ClipMarks none;
    const std::optional<int64_t> event = line.EventStartAt(14000);
    ASSERT_EQ(event, std::optional<int64_t>(10000));
    const ClipEnds around = line.Ends(none.Span(14000, line.LengthMs(), event));
    EXPECT_EQ(around.line, (ClipSpan{0, 20000}));
    EXPECT_EQ(around.from, (clips::ClipMark{"20240305_090000_N", 0}));
    EXPECT_EQ(around.to, (clips::ClipMark{"20240305_090010_E", 10000}));

    // Settings that reach 3 s before and 2 s after.
    const ClipDefaults shorter{3000, 2000, 5000};
    const ClipEnds near = line.Ends(none.Span(14000, line.LengthMs(), event, shorter));
    EXPECT_EQ(near.from, (clips::ClipMark{"20240305_090000_N", 7000}));
    EXPECT_EQ(near.to, (clips::ClipMark{"20240305_090010_E", 2000}));

    // Elsewhere on the drive: no event plays, the clip lies around the time played.
    EXPECT_FALSE(line.EventStartAt(5000).has_value());
    EXPECT_FALSE(line.EventStartAt(20000).has_value()); // the next recording from its start on
    const ClipEnds plain = line.Ends(none.Span(22000, line.LengthMs(), std::nullopt, shorter));
    EXPECT_EQ(plain.from, (clips::ClipMark{"20240305_090010_E", 7000}));
    EXPECT_EQ(plain.to, (clips::ClipMark{"20240305_090021_N", 5000}));
}

TEST(ClipLineTest, ARecordingPlayedAloneIsItsOwnLine) {
    const SourceRecording alone = Recording("20240305_090010_E", 0, {2024, 3, 5, 9, 0, 10});
    const ClipLine line = ClipLine::OfRecording(alone, 8000);
    EXPECT_EQ(line.LengthMs(), 8000);
    EXPECT_EQ(line.EventStartAt(3000), std::optional<int64_t>(0));
    const ClipEnds ends = line.Ends(ClipMarks().Span(3000, 8000, line.EventStartAt(3000)));
    EXPECT_EQ(ends.from, (clips::ClipMark{"20240305_090010_E", 0}));
    EXPECT_EQ(ends.to, (clips::ClipMark{"20240305_090010_E", 8000}));

    // A plan whose member the listing does not hold leaves it out; an empty line has no marks.
    Drive drive;
    drive.plan.members = {1, 7};
    drive.plan.segments.resize(2);
    EXPECT_EQ(drive.Line().Members().size(), 1u);
    EXPECT_TRUE(ClipLine().Empty());
    EXPECT_EQ(ClipLine().StartMark(100), clips::ClipMark{});
    EXPECT_EQ(ClipLine().Ends({0, 100}).wallStartSec, -1);
}

TEST(ClipChoicesTest, TheLayoutsFollowTheCamerasAndALosslessCopyTakesNoneOfTheEncodersChoices) {
    ClipChoices one(SomeEnds(), 1, kEnglish);
    EXPECT_EQ(one.Layouts(), std::vector<clips::Layout>{clips::Layout::kFront});
    EXPECT_EQ(one.Layout(), clips::Layout::kFront);
    EXPECT_FALSE(one.SetLayout(clips::Layout::kPip));
    EXPECT_EQ(one.Layout(), clips::Layout::kFront);
    EXPECT_FALSE(one.LayoutEnabled());

    ClipChoices two(SomeEnds(), 2, kEnglish);
    EXPECT_EQ(two.Layouts().size(), 4u);
    EXPECT_EQ(two.Layout(), clips::Layout::kPip);
    EXPECT_TRUE(two.SetLayout(clips::Layout::kGrid));
    EXPECT_TRUE(two.LayoutEnabled() && two.OverlayEnabled() && two.QualityEnabled());
    EXPECT_TRUE(two.Overlay());
    EXPECT_TRUE(two.Notice().empty());

    two.SetLossless(true);
    EXPECT_FALSE(two.LayoutEnabled());
    EXPECT_FALSE(two.OverlayEnabled());
    EXPECT_FALSE(two.QualityEnabled());
    const std::string notice = two.Notice();
    EXPECT_NE(notice.find("key frame before the mark"), std::string::npos) << notice;
    EXPECT_NE(notice.find("no overlay"), std::string::npos) << notice;
    EXPECT_NE(notice.find("file of its own"), std::string::npos) << notice;
    EXPECT_NE(notice.find("exactly"), std::string::npos) << notice;
    EXPECT_FALSE(two.Request(nullptr, SpeedUnit::kKmh, 10000).overlay);
    EXPECT_TRUE(two.Request(nullptr, SpeedUnit::kKmh, 10000).lossless);
    ClipChoices korean(SomeEnds(), 2, kKorean);
    korean.SetLossless(true);
    EXPECT_TRUE(HasHangul(korean.Notice()));
    // Back to re-encoding: the overlay as it was chosen.
    two.SetLossless(false);
    EXPECT_TRUE(two.Request(nullptr, SpeedUnit::kKmh, 10000).overlay);
    EXPECT_EQ(two.Request(nullptr, SpeedUnit::kKmh, 10000).layout, clips::Layout::kGrid);
}

TEST(ClipChoicesTest, AnExportIsRefusedWithTheFirstReasonBeforeItStarts) {
    TempDir dir;
    ClipChoices choices(SomeEnds(), 2, kEnglish);
    EXPECT_NE(choices.Error().find("Choose the file"), std::string::npos);
    choices.SetTarget(dir.File("clip.avi"));
    EXPECT_NE(choices.Error().find(".mp4"), std::string::npos);
    choices.SetTarget(dir.File("missing/clip.mp4"));
    EXPECT_NE(choices.Error().find("There is no folder"), std::string::npos);
    choices.SetTarget(dir.File("clip.MP4"));
    EXPECT_EQ(choices.Error(), "");

    for (const int crf : {clips::kMinCrf - 1, clips::kMaxCrf + 1}) {
        choices.SetCrf(crf);
        EXPECT_NE(choices.Error().find("between 20 and 28"), std::string::npos) << crf;
    }
    for (const int crf : {clips::kMinCrf, clips::kMaxCrf}) {
        choices.SetCrf(crf);
        EXPECT_EQ(choices.Error(), "") << crf;
    }
    choices.SetCrf(35);
    // A lossless copy takes no CRF, so a wrong one does not hold it up.
    choices.SetLossless(true);
    EXPECT_EQ(choices.Error(), "");
    choices.SetLossless(false);
    choices.SetCrf(clips::kDefaultCrf);
    choices.SetPreset("turbo");
    EXPECT_NE(choices.Error().find("turbo"), std::string::npos);
    choices.SetPreset("slow");
    EXPECT_EQ(choices.Error(), "");

    // A span without length cannot be exported; the reason comes in the user's language.
    ClipEnds empty = SomeEnds();
    empty.line = {5000, 5000};
    ClipChoices korean(empty, 1, kKorean);
    korean.SetTarget(dir.File("clip.mp4"));
    EXPECT_TRUE(HasHangul(korean.Error())) << korean.Error();
}

TEST(ClipChoicesTest, TheChoicesBecomeTheRequest) {
    auto source = std::shared_ptr<VRecordingSource>();
    ClipChoices choices(SomeEnds(), 2, kKorean);
    choices.SetLayout(clips::Layout::kSide);
    choices.SetOverlay(false);
    choices.SetCrf(26);
    choices.SetPreset("faster");
    choices.SetSound(false);
    choices.SetTarget("/tmp/x/clip.mp4");
    const clips::ClipRequest request = choices.Request(source, SpeedUnit::kMph, 4000);
    EXPECT_EQ(request.from, SomeEnds().from);
    EXPECT_EQ(request.to, SomeEnds().to);
    EXPECT_EQ(request.gapMs, 4000);
    EXPECT_EQ(request.layout, clips::Layout::kSide);
    EXPECT_FALSE(request.overlay);
    EXPECT_FALSE(request.lossless);
    EXPECT_EQ(request.crf, 26);
    EXPECT_EQ(request.preset, "faster");
    EXPECT_FALSE(request.sound);
    EXPECT_EQ(request.units, SpeedUnit::kMph);
    EXPECT_EQ(request.language, evidence::ReportLanguage::kKorean);
    EXPECT_EQ(request.outPath, "/tmp/x/clip.mp4");
    // Untouched choices are the export's defaults, the report in English for English users.
    const clips::ClipRequest plain = ClipChoices(SomeEnds(), 2, kEnglish).Request(nullptr, {}, 0);
    EXPECT_EQ(plain.crf, clips::kDefaultCrf);
    EXPECT_EQ(plain.preset, clips::kDefaultPreset);
    EXPECT_TRUE(plain.overlay && plain.sound);
    EXPECT_EQ(plain.language, evidence::ReportLanguage::kEnglish);
}

TEST(ClipChoicesTest, TheDefaultTargetIsNamedAfterTheClipInTheLastFolderOrVideos) {
    EXPECT_EQ(ClipChoices::DefaultName(SomeEnds()), "20240305_090000_N_090004-090013.mp4");
    ClipEnds unknown = SomeEnds();
    unknown.wallEndSec = -1;
    EXPECT_EQ(ClipChoices::DefaultName(unknown), "20240305_090000_N_090004-000000.mp4");

    TempDir dir;
    const std::string last = dir.File("last");
    const std::string videos = dir.File("Videos");
    const std::string home = dir.Path().string();
    EXPECT_EQ(ClipChoices::DefaultFolder(last, videos, home), home); // neither exists yet
    std::filesystem::create_directories(videos);
    EXPECT_EQ(ClipChoices::DefaultFolder(last, videos, home), videos);
    EXPECT_EQ(ClipChoices::DefaultFolder("", videos, home), videos);
    std::filesystem::create_directories(last);
    EXPECT_EQ(ClipChoices::DefaultFolder(last, videos, home), last);
}

TEST(ClipChoicesTest, FilesTheExportWouldReplaceAreFoundFirst) {
    TempDir dir;
    ClipChoices choices(SomeEnds(), 2, kEnglish);
    choices.SetTarget(dir.File("clip.mp4"));
    EXPECT_TRUE(choices.ExistingOutputs().empty());
    WriteFileText(dir.File("clip.manifest.json"), "old");
    WriteFileText(dir.File("clip-rear.mp4"), "old");
    EXPECT_EQ(choices.ExistingOutputs(), std::vector<std::string>{dir.File("clip.manifest.json")});
    // A lossless copy writes the rear camera beside the clip.
    choices.SetLossless(true);
    EXPECT_EQ(
        choices.ExistingOutputs(),
        (std::vector<std::string>{dir.File("clip-rear.mp4"), dir.File("clip.manifest.json")}));
    WriteFileText(dir.File("clip.mp4"), "old");
    EXPECT_EQ(choices.ExistingOutputs().front(), dir.File("clip.mp4"));
}

TEST(ClipChoicesTest, TheSpanProgressAndOutcomeAreToldInWords) {
    const std::string span = ClipChoices(SomeEnds(), 1, kEnglish).SpanText();
    EXPECT_NE(span.find("09:00:04"), std::string::npos) << span;
    EXPECT_NE(span.find("09:00:13"), std::string::npos) << span;
    EXPECT_NE(span.find("00:09"), std::string::npos) << span; // its length
    EXPECT_NE(span.find("20240305_090000_N \u2013 20240305_090010_E"), std::string::npos) << span;

    EXPECT_EQ(ClipChoices::ProgressText({120, 900, 11.2}, kEnglish),
              "120 of 900 frames, 00:12 left");
    EXPECT_EQ(ClipChoices::ProgressText({0, 0, -1}, kEnglish), "0 of 0 frames");
    EXPECT_TRUE(HasHangul(ClipChoices::ProgressText({1, 2, 3}, kKorean)));

    clips::ClipResult saved;
    saved.ok = true;
    saved.written = {"/v/clip.mp4", "/v/clip.gpx", "/v/clip.manifest.json", "/v/clip.report.txt"};
    const std::string told = ClipChoices::OutcomeText(saved, kEnglish);
    EXPECT_NE(told.find("/v/clip.mp4"), std::string::npos) << told;
    EXPECT_NE(told.find("clip.manifest.json, clip.report.txt"), std::string::npos) << told;
    EXPECT_EQ(told.find("clip.gpx"), std::string::npos) << told;
    EXPECT_EQ(told.find("could not be read"), std::string::npos) << told;
    clips::ClipResult cutShort = saved;
    cutShort.cutShort = true;
    cutShort.lengthMs = 12400;
    cutShort.askedMs = 40000;
    const std::string short_ = ClipChoices::OutcomeText(cutShort, kEnglish);
    EXPECT_NE(short_.find("/v/clip.mp4"), std::string::npos) << short_;
    EXPECT_NE(short_.find("could not be read to the clip's end: it holds 00:12 of 00:40"),
              std::string::npos)
        << short_;

    clips::ClipResult failed;
    failed.error = "No space left on device (writing /v/clip.mp4)";
    EXPECT_EQ(ClipChoices::OutcomeText(failed, kEnglish),
              "The clip could not be exported: No space left on device (writing /v/clip.mp4)");
    clips::ClipResult cancelled;
    cancelled.cancelled = true;
    EXPECT_EQ(ClipChoices::OutcomeText(cancelled, kEnglish), "The clip export was cancelled.");
    EXPECT_TRUE(HasHangul(ClipChoices::OutcomeText(cancelled, kKorean)));
}

} // namespace

#include "tests/clips/ClipMedia.h"

#include "tests/support/ScopedTimeZone.h"
#include "tests/support/TempDir.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

constexpr double kFrame = 1.0 / 30.0;

// Black pictures with one white one at `flash` seconds (the frame whose time lies within 10 ms).
std::string FlashAt(double flash) {
    char filter[160];
    std::snprintf(filter, sizeof filter, ",drawbox=c=white:t=fill:enable='between(t,%.3f,%.3f)'",
                  flash - 0.01, flash + 0.01);
    return filter;
}

class ClipEncoderTest : public ::testing::Test {
protected:
    // libx264's and the muxer's notes on every clip are not the test's.
    ClipEncoderTest() { av_log_set_level(AV_LOG_ERROR); }

    // Camera files of one recording of the folder: "2024_0101_101010_0001" + F or R.
    std::string Camera(const std::string& recording, char channel) const {
        return m_dir.File("DCIM/" + recording + channel + ".MP4");
    }
    std::string Folder() const { return m_dir.File("DCIM"); }
    std::string Out(const std::string& name) const { return m_dir.File(name); }

    // Makes a recording's camera file and dates it as the camera would: its name's time plus
    // its length.
    void Record(const std::string& recording, char channel, const CameraSpec& spec, int hour,
                int minute, int second) {
        const std::string path = Camera(recording, channel);
        ASSERT_TRUE(MakeCamera(path, spec)) << path;
        ASSERT_TRUE(SetFileTime(path, 2024, 1, 1, hour, minute,
                                second + static_cast<int>(std::lround(spec.seconds))));
    }

    FolderClip Encode(const std::string& recording, int64_t fromMs, int64_t toMs,
                      const clips::EncodeSettings& settings, const std::string& out,
                      const std::string& endRecording = {}) {
        return EncodeFolderClip(Folder(), {recording, fromMs},
                                {endRecording.empty() ? recording : endRecording, toMs}, settings,
                                out);
    }

    ScopedTimeZone m_zone{"UTC"};
    TempDir m_dir;
};

clips::EncodeSettings Plain(clips::Layout layout = clips::Layout::kFront) {
    clips::EncodeSettings settings;
    settings.layout = layout;
    settings.overlay = false;
    settings.sound = false;
    return settings;
}

TEST_F(ClipEncoderTest, ClipWithinOneRecordingKeepsItsMarksWithSoundAndProgress) {
    CameraSpec front;
    front.seconds = 3;
    front.sound = true;
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);
    CameraSpec rear = front;
    rear.sound = false;
    rear.width = 160;
    rear.height = 90;
    Record("2024_0101_101010_0001", 'R', rear, 10, 10, 10);

    std::vector<clips::ClipProgress> reports;
    clips::EncodeSettings settings; // pip, overlay, sound, CRF 23, veryfast
    const FolderClip clip = EncodeFolderClip(
        Folder(), {"2024_0101_101010_0001", 500}, {"2024_0101_101010_0001", 2500}, settings,
        Out("clip.mp4"), [&](const clips::ClipProgress& p) { reports.push_back(p); });
    ASSERT_TRUE(clip.planError.empty()) << clip.planError;
    ASSERT_TRUE(clip.outcome.ok) << clip.outcome.error;
    EXPECT_FALSE(clip.outcome.cancelled);
    EXPECT_TRUE(clip.outcome.error.empty());

    const ClipFacts facts = ReadClip(Out("clip.mp4"));
    ASSERT_TRUE(facts.opened);
    EXPECT_EQ(facts.videoCodec, "h264");
    EXPECT_EQ(facts.width, 320);
    EXPECT_EQ(facts.height, 180);
    EXPECT_NEAR(facts.videoSeconds, 2.0, kFrame + 1e-3);
    EXPECT_NEAR(static_cast<double>(facts.pictures), 60.0, 1.0);
    EXPECT_EQ(clip.outcome.frames, facts.pictures);
    EXPECT_NEAR(static_cast<double>(clip.outcome.lengthMs), 2000.0, 34.0);
    ASSERT_TRUE(facts.sound);
    EXPECT_EQ(facts.soundCodec, "aac");
    EXPECT_NEAR(facts.soundSeconds, 2.0, 0.03);

    // Every tenth picture, counting up to the clip's pictures, with an estimate once going.
    ASSERT_EQ(reports.size(), 6u);
    for (size_t k = 0; k < reports.size(); ++k) {
        EXPECT_EQ(reports[k].framesDone, static_cast<int64_t>(10 * (k + 1)));
        EXPECT_EQ(reports[k].framesTotal, 60);
        EXPECT_GE(reports[k].secondsLeft, 0.0);
    }
}

TEST_F(ClipEncoderTest, ClipAcrossTwoRecordingsRunsOnAtTheBoundary) {
    CameraSpec first;
    first.source = "color=c=black";
    first.seconds = 2;
    Record("2024_0101_101010_0001", 'F', first, 10, 10, 10);
    CameraSpec second = first;
    second.filters = FlashAt(0.5);
    Record("2024_0101_101012_0002", 'F', second, 10, 10, 12);

    const FolderClip clip = Encode("2024_0101_101010_0001", 1000, 1000, Plain(), Out("across.mp4"),
                                   "2024_0101_101012_0002");
    ASSERT_TRUE(clip.planError.empty()) << clip.planError;
    ASSERT_EQ(clip.plan.parts.size(), 2u);
    ASSERT_TRUE(clip.outcome.ok) << clip.outcome.error;
    const ClipFacts facts = ReadClip(Out("across.mp4"));
    EXPECT_NEAR(facts.videoSeconds, 2.0, kFrame + 1e-3);
    EXPECT_NEAR(static_cast<double>(facts.pictures), 60.0, 1.0);

    // The second recording's flash, 0.5 s into it, lies 1.5 s into the clip; no time is lost
    // or doubled at the boundary.
    std::vector<double> times;
    double flash = -1;
    ForEachPicture(Out("across.mp4"), [&](int64_t, double seconds, const AVFrame& frame) {
        times.push_back(seconds);
        if (MeanLuma(frame, 0, 0, frame.width, frame.height) > 128)
            flash = seconds;
    });
    EXPECT_NEAR(flash, 1.5, kFrame + 1e-3);
    for (size_t k = 1; k < times.size(); ++k)
        EXPECT_NEAR(times[k] - times[k - 1], kFrame, 2e-3) << "at picture " << k;
}

TEST_F(ClipEncoderTest, PictureAtAKnownTimeMatchesTheSource) {
    CameraSpec front;
    front.source = "color=c=black";
    front.seconds = 3;
    front.filters = FlashAt(1.0);
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);

    // Starting between key frames (every half second): decoding starts at the one before.
    const FolderClip clip = Encode("2024_0101_101010_0001", 600, 2400, Plain(), Out("flash.mp4"));
    ASSERT_TRUE(clip.outcome.ok) << clip.outcome.error;
    std::vector<std::pair<double, double>> lumas;
    ForEachPicture(Out("flash.mp4"), [&](int64_t, double seconds, const AVFrame& frame) {
        lumas.emplace_back(seconds, MeanLuma(frame, 0, 0, frame.width, frame.height));
    });
    ASSERT_FALSE(lumas.empty());
    EXPECT_NEAR(lumas.front().first, 0.0, kFrame);
    int bright = 0;
    for (const auto& [seconds, luma] : lumas) {
        if (luma > 128) {
            ++bright;
            EXPECT_NEAR(seconds, 0.4, kFrame + 1e-3);
        } else {
            EXPECT_LT(luma, 40) << "at " << seconds;
        }
    }
    EXPECT_EQ(bright, 1);
}

TEST_F(ClipEncoderTest, LayoutsPlaceTheCameras) {
    CameraSpec front;
    front.source = "color=c=black";
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);
    CameraSpec rear = front;
    rear.source = "color=c=white";
    rear.width = 160;
    rear.height = 90;
    Record("2024_0101_101010_0001", 'R', rear, 10, 10, 10);

    struct Case {
        clips::Layout layout;
        int width;
        int height;
        // A region that shows the rear (white) and one that shows the front (black).
        int rearX, rearY, frontX, frontY;
    };
    const std::vector<Case> cases = {
        {clips::Layout::kFront, 320, 180, -1, -1, 160, 90},
        {clips::Layout::kPip, 320, 180, 300, 160, 40, 40},
        {clips::Layout::kSide, 640, 180, 480, 90, 160, 90},
        {clips::Layout::kGrid, 320, 90, 240, 45, 80, 45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(clips::LayoutWord(c.layout));
        const std::string out = Out(std::string(clips::LayoutWord(c.layout)) + ".mp4");
        const FolderClip clip = Encode("2024_0101_101010_0001", 0, 1000, Plain(c.layout), out);
        ASSERT_TRUE(clip.outcome.ok) << clip.outcome.error;
        const ClipFacts facts = ReadClip(out);
        EXPECT_EQ(facts.width, c.width);
        EXPECT_EQ(facts.height, c.height);
        ForEachPicture(out, [&](int64_t index, double, const AVFrame& frame) {
            if (index != 15)
                return;
            EXPECT_LT(MeanLuma(frame, c.frontX - 4, c.frontY - 4, 8, 8), 40);
            if (c.rearX >= 0) {
                EXPECT_GT(MeanLuma(frame, c.rearX - 4, c.rearY - 4, 8, 8), 200);
            } else {
                EXPECT_LT(MeanLuma(frame, 0, 0, frame.width, frame.height), 40);
            }
        });
    }
}

TEST_F(ClipEncoderTest, EveryLayoutFallsBackToTheFrontWithoutARear) {
    CameraSpec front;
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);
    for (const clips::Layout layout :
         {clips::Layout::kPip, clips::Layout::kSide, clips::Layout::kGrid}) {
        SCOPED_TRACE(clips::LayoutWord(layout));
        const std::string out = Out(std::string(clips::LayoutWord(layout)) + ".mp4");
        const FolderClip clip = Encode("2024_0101_101010_0001", 0, 1000, Plain(layout), out);
        ASSERT_TRUE(clip.outcome.ok) << clip.outcome.error;
        const ClipFacts facts = ReadClip(out);
        EXPECT_EQ(facts.width, 320);
        EXPECT_EQ(facts.height, 180);
    }
}

TEST_F(ClipEncoderTest, RearAtAnotherRateStaysInStepAndHoldsItsLastPicture) {
    CameraSpec front;
    front.source = "color=c=black";
    front.seconds = 3;
    front.filters = FlashAt(1.0);
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);
    CameraSpec rear = front;
    rear.rate = "25";
    rear.seconds = 1.6; // ends before the front; its last picture is white
    rear.filters = ",drawbox=c=white:t=fill:enable='between(t,0.99,1.01)+gte(t,1.4)'";
    Record("2024_0101_101010_0001", 'R', rear, 10, 10, 10);

    const FolderClip clip =
        Encode("2024_0101_101010_0001", 0, 3000, Plain(clips::Layout::kSide), Out("step.mp4"));
    ASSERT_TRUE(clip.outcome.ok) << clip.outcome.error;
    const ClipFacts facts = ReadClip(Out("step.mp4"));
    EXPECT_EQ(facts.width, 640);
    EXPECT_NEAR(static_cast<double>(facts.pictures), 90.0, 1.0); // the front's pictures only
    ForEachPicture(Out("step.mp4"), [&](int64_t, double seconds, const AVFrame& frame) {
        const bool frontWhite = MeanLuma(frame, 0, 0, 320, 180) > 128;
        const bool rearWhite = MeanLuma(frame, 320, 0, 320, 180) > 128;
        // The front's flash frame at 1.0 s; the rear's (1.00 to 1.04 s) shows with the front's
        // pictures of 1.000 and 1.033 s.
        EXPECT_EQ(frontWhite, std::abs(seconds - 1.0) < 0.01) << "at " << seconds;
        if (seconds < 0.98 || (seconds > 1.05 && seconds < 1.39)) {
            EXPECT_FALSE(rearWhite) << "at " << seconds;
        }
        if ((seconds > 0.99 && seconds < 1.035) || seconds > 1.42) {
            EXPECT_TRUE(rearWhite) << "at " << seconds;
        }
    });
}

TEST_F(ClipEncoderTest, SoundOnlyWhenAskedAndRecorded) {
    CameraSpec withSound;
    withSound.sound = true;
    Record("2024_0101_101010_0001", 'F', withSound, 10, 10, 10);
    CameraSpec silent;
    Record("2024_0101_101100_0002", 'F', silent, 10, 11, 0);

    clips::EncodeSettings off = Plain();
    const FolderClip quiet = Encode("2024_0101_101010_0001", 200, 1700, off, Out("off.mp4"));
    ASSERT_TRUE(quiet.outcome.ok) << quiet.outcome.error;
    EXPECT_FALSE(ReadClip(Out("off.mp4")).sound);

    clips::EncodeSettings on = Plain();
    on.sound = true;
    const FolderClip loud = Encode("2024_0101_101010_0001", 200, 1700, on, Out("on.mp4"));
    ASSERT_TRUE(loud.outcome.ok) << loud.outcome.error;
    const ClipFacts facts = ReadClip(Out("on.mp4"));
    ASSERT_TRUE(facts.sound);
    EXPECT_NEAR(facts.soundSeconds, 1.5, 0.03);
    EXPECT_NEAR(facts.videoSeconds, 1.5, kFrame + 1e-3);

    const FolderClip none = Encode("2024_0101_101100_0002", 200, 1700, on, Out("none.mp4"));
    ASSERT_TRUE(none.outcome.ok) << none.outcome.error;
    const ClipFacts noneFacts = ReadClip(Out("none.mp4"));
    EXPECT_FALSE(noneFacts.sound);
    EXPECT_NEAR(noneFacts.videoSeconds, 1.5, kFrame + 1e-3);
}

TEST_F(ClipEncoderTest, OverlayTextChangesOnlyAtWholeSeconds) {
    CameraSpec front;
    front.source = "color=c=gray";
    front.seconds = 4;
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);

    clips::EncodeSettings settings = Plain();
    settings.overlay = true;
    const FolderClip clip = Encode("2024_0101_101010_0001", 300, 3300, settings, Out("text.mp4"));
    ASSERT_TRUE(clip.outcome.ok) << clip.outcome.error;

    // Pixels of the lower left (the text's box) that change between one picture and the next.
    std::vector<uint8_t> previous;
    std::set<int64_t> changed;
    bool boxed = false;
    ForEachPicture(Out("text.mp4"), [&](int64_t index, double, const AVFrame& frame) {
        std::vector<uint8_t> region;
        for (int y = frame.height / 2; y < frame.height; ++y)
            for (int x = 0; x < frame.width * 3 / 4; ++x)
                region.push_back(frame.data[0][static_cast<ptrdiff_t>(y) * frame.linesize[0] + x]);
        if (index == 0)
            boxed = MeanLuma(frame, 2, frame.height - 30, 20, 20) < 100; // dark box on gray
        if (!previous.empty()) {
            int differing = 0;
            for (size_t k = 0; k < region.size(); ++k)
                differing += std::abs(int{region[k]} - int{previous[k]}) > 64 ? 1 : 0;
            // A digit of the seconds changes some pixels; the still picture around it none.
            if (differing > 2)
                changed.insert(index);
        }
        previous = std::move(region);
    });
    EXPECT_TRUE(boxed);
    // The recording's seconds turn at 1, 2 and 3 s: 0.7, 1.7 and 2.7 s into the clip.
    EXPECT_EQ(changed, (std::set<int64_t>{21, 51, 81}));
}

TEST_F(ClipEncoderTest, CancelStopsAtOnce) {
    CameraSpec front;
    front.seconds = 3;
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);
    std::atomic<bool> cancel{false};
    int reports = 0;
    const FolderClip clip = EncodeFolderClip(
        Folder(), {"2024_0101_101010_0001", 0}, {"2024_0101_101010_0001", 3000}, Plain(),
        Out("cancelled.mp4"),
        [&](const clips::ClipProgress&) {
            ++reports;
            cancel = true;
        },
        &cancel);
    EXPECT_TRUE(clip.outcome.cancelled);
    EXPECT_FALSE(clip.outcome.ok);
    EXPECT_TRUE(clip.outcome.error.empty()) << clip.outcome.error;
    EXPECT_EQ(reports, 1);
}

TEST_F(ClipEncoderTest, WriteFailuresComeWithTheirReason) {
    CameraSpec front;
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);

    const FolderClip full = Encode("2024_0101_101010_0001", 0, 2000, Plain(), "/dev/full");
    EXPECT_FALSE(full.outcome.ok);
    EXPECT_NE(full.outcome.error.find("No space left on device (writing /dev/full)"),
              std::string::npos)
        << full.outcome.error;

    const std::string missing = Out("no/such/folder/clip.mp4");
    const FolderClip nowhere = Encode("2024_0101_101010_0001", 0, 2000, Plain(), missing);
    EXPECT_FALSE(nowhere.outcome.ok);
    EXPECT_NE(nowhere.outcome.error.find("No such file or directory (writing " + missing + ")"),
              std::string::npos)
        << nowhere.outcome.error;
}

TEST_F(ClipEncoderTest, HevcRecordingIsReencodedAsH264) {
    CameraSpec front;
    front.codec = "libx265";
    front.source = "color=c=black";
    front.seconds = 2;
    front.filters = FlashAt(1.0);
    Record("2024_0101_101010_0001", 'F', front, 10, 10, 10);
    const FolderClip clip = Encode("2024_0101_101010_0001", 500, 1500, Plain(), Out("hevc.mp4"));
    ASSERT_TRUE(clip.outcome.ok) << clip.outcome.error;
    const ClipFacts facts = ReadClip(Out("hevc.mp4"));
    EXPECT_EQ(facts.videoCodec, "h264");
    EXPECT_NEAR(static_cast<double>(facts.pictures), 30.0, 1.0);
    double flash = -1;
    ForEachPicture(Out("hevc.mp4"), [&](int64_t, double seconds, const AVFrame& frame) {
        if (MeanLuma(frame, 0, 0, frame.width, frame.height) > 128)
            flash = seconds;
    });
    EXPECT_NEAR(flash, 0.5, kFrame + 1e-3);
}

} // namespace

#include "EngineFakes.h"
#include "player/engine/CQTRMediaPlayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct TextLine {
    FakePacketTag tag;
    int32_t timeMs;
    bool zeroAfter;
    int32_t frontShownThen;
};

// An engine wired to fakes, played at full speed (no pacer) unless a test asks otherwise, and
// started unless the test starts it itself.
class Harness {
public:
    explicit Harness(FakeRecording recording, bool withAudio = true, bool start = true)
        : parser(recording), decoder(&parser) {
        engine.SetParser(&parser);
        engine.SetDecoder(&decoder);
        if (withAudio)
            engine.SetAudio(&audio);
        engine.SetFramePacing(false);
        engine.SetTextCallback(&Harness::OnText, this);
        engine.SetEventCallback(&Harness::OnEvent, this);
        if (start) {
            EXPECT_TRUE(engine.Start(nullptr, nullptr).Ok());
        }
    }
    ~Harness() { engine.Shutdown(); }

    void Play(const std::string& name = "REC_20240305_093000_D") {
        engine.Pause();
        engine.Stop();
        engine.Open(name);
        engine.Resume();
    }
    bool WaitForEnd(std::chrono::milliseconds limit = 10s) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [this] { return ends > 0; });
    }
    std::vector<TextLine> Lines() {
        std::lock_guard<std::mutex> hold(mutex);
        return lines;
    }
    int Ends() {
        std::lock_guard<std::mutex> hold(mutex);
        return ends;
    }
    // Runs on the worker thread at each text line (before it is recorded).
    std::function<void(const TextLine&)> onText;

    FakeParser parser;
    FakeDecoder decoder;
    FakeAudio audio;
    CQTRMediaPlayer engine;

private:
    static void OnText(void* user, const uint8_t* text, int32_t length, int32_t timeMs) {
        auto* self = static_cast<Harness*>(user);
        TextLine line{TagOf(text, length), timeMs, text[length] == 0, self->decoder.FrontShown()};
        if (self->onText)
            self->onText(line);
        std::lock_guard<std::mutex> hold(self->mutex);
        self->lines.push_back(line);
    }
    static void OnEvent(void* user, int event, int value, int) {
        auto* self = static_cast<Harness*>(user);
        std::lock_guard<std::mutex> hold(self->mutex);
        if (event == CQTRMediaPlayer::kEventEnd && value == 0)
            ++self->ends;
        self->changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<TextLine> lines;
    int ends = 0;
};

std::vector<int32_t> FrontFrames(const std::vector<FakeDecoder::Shown>& shown) {
    std::vector<int32_t> frames;
    for (const auto& picture : shown)
        if (picture.channel == 0)
            frames.push_back(picture.tag.number);
    return frames;
}

TEST(PlayerEngine, PrebuffersTwentyOneFramesThenShowsOneEntryPerVideoPacketInOrder) {
    Harness h({.frames = 90, .rate = 30, .twoChannel = true});
    h.Play();
    ASSERT_TRUE(h.WaitForEnd());

    const auto shown = h.decoder.ShownPictures();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().channel, 0);
    EXPECT_EQ(shown.front().frontPacketsReadThen, 21) << "nothing is drawn before 21 frames";
    std::vector<int32_t> expected(90);
    for (int32_t i = 0; i < 90; ++i)
        expected[static_cast<size_t>(i)] = i;
    EXPECT_EQ(FrontFrames(shown), expected);
    // Rear pictures start with the first rear key frame (frame 5) and keep their order.
    int32_t rearExpected = 5;
    for (const auto& picture : shown) {
        if (picture.channel == 1) {
            EXPECT_EQ(picture.tag.number, rearExpected++);
        }
    }
    EXPECT_EQ(rearExpected, 90);

    EXPECT_EQ(h.engine.StateValue(), CQTRMediaPlayer::kIdle);
    EXPECT_FALSE(h.engine.IsRunning());
    EXPECT_EQ(h.engine.ShownFrame(), 89);
    EXPECT_EQ(h.engine.CurrentMs(), 89 * 1000 / 30) << "the play time is the last picture's";
    EXPECT_EQ(h.engine.DurationMs(), 3000);
    EXPECT_EQ(h.Ends(), 1);
    // Every audio block reached the output, in order.
    std::this_thread::sleep_for(50ms);
    const auto blocks = h.audio.Blocks();
    ASSERT_EQ(blocks.size(), 12u);
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(blocks[i], static_cast<int32_t>(i));
}

TEST(PlayerEngine, RecordingShorterThanThePrebufferStillPlaysAndEnds) {
    Harness h({.frames = 10, .rate = 30, .twoChannel = false});
    h.Play("REC_20240305_093000_S");
    ASSERT_TRUE(h.WaitForEnd());
    EXPECT_EQ(FrontFrames(h.decoder.ShownPictures()),
              (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(h.engine.StateValue(), CQTRMediaPlayer::kIdle);
    EXPECT_EQ(h.engine.ChannelCount(), 1);
}

TEST(PlayerEngine, TextLinesCarryAZeroByteAndThePlayTimeOfTheLastFrameShown) {
    Harness h({.frames = 60, .rate = 30, .twoChannel = true});
    h.Play();
    ASSERT_TRUE(h.WaitForEnd());
    const auto lines = h.Lines();
    ASSERT_EQ(lines.size(), 6u);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].tag.number, static_cast<int32_t>(i));
        EXPECT_TRUE(lines[i].zeroAfter);
        // The play time: the time of the front picture on screen (0 before the first).
        EXPECT_EQ(lines[i].timeMs, std::max(lines[i].frontShownThen - 1, 0) * 1000 / 30);
    }
    // The delay line holds 700 ms of pictures back: by the line after frame 29, frames 0 … 9
    // have been shown and 10 … 29 wait.
    EXPECT_EQ(lines[2].frontShownThen, 10);
}

TEST(PlayerEngine, SeekDecodesFromTheKeyFrameWithoutShowingAndShowsTheTargetFirst) {
    Harness h({.frames = 120, .rate = 30, .twoChannel = true, .cameraAudio = true});
    bool asked = false;
    h.onText = [&](const TextLine& line) {
        if (!asked && line.tag.number == 0) { // after frame 9 was read
            asked = true;
            h.engine.SeekToMs(2500); // frame 75
        }
    };
    h.Play();
    ASSERT_TRUE(h.WaitForEnd());
    // The parser goes to the whole second whose key frame starts the decoding.
    EXPECT_EQ(h.parser.Seeks(), (std::vector<float>{2.0f}));

    // Frames 60 … 74 of both channels are decoded, not shown (the rear from its key frame,
    // 65, on); the first pictures after the seek are the target's, front then rear.
    std::vector<int32_t> frontDecoded;
    std::vector<int32_t> rearDecoded;
    for (const auto& packet : h.decoder.DecodedOnly())
        (packet.channel == 0 ? frontDecoded : rearDecoded).push_back(packet.tag.number);
    std::vector<int32_t> expected;
    for (int32_t f = 60; f < 75; ++f)
        expected.push_back(f);
    EXPECT_EQ(frontDecoded, expected);
    expected.erase(expected.begin(), expected.begin() + 5);
    EXPECT_EQ(rearDecoded, expected);
    const auto shown = h.decoder.ShownPictures();
    const auto front = FrontFrames(shown);
    ASSERT_FALSE(front.empty());
    EXPECT_EQ(front.front(), 75) << "nothing of the old position or before the target is shown";
    EXPECT_EQ(front.back(), 119);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0].channel, 0);
    EXPECT_EQ(shown[1].channel, 1);
    EXPECT_EQ(shown[1].tag.number, 75);

    // The sound restarts at the target: block 9 (2160 … 2400 ms) is dropped, block 10 (2400 …
    // 2640 ms) loses its first 100 ms (800 samples), and the rest follow whole. Block 0 was
    // read before the seek and may have been flushed before it was written.
    std::this_thread::sleep_for(50ms);
    auto pieces = h.audio.FirstBytesAndLengths();
    if (!pieces.empty() && pieces.front().first == 0)
        pieces.erase(pieces.begin());
    EXPECT_EQ(pieces, (std::vector<std::pair<int, int32_t>>{
                          {10, 2240}, {11, 3840}, {12, 3840}, {13, 3840}, {14, 3840}, {15, 3840}}));
    EXPECT_GE(h.audio.Flushes(), 1) << "sound of the old position is dropped";
    EXPECT_EQ(h.engine.ShownFrame(), 119);
}

TEST(PlayerEngine, StepsAndSeeksAreClampedIntoTheRecording) {
    Harness h({.frames = 150, .rate = 30, .twoChannel = false});
    int asked = 0;
    h.onText = [&](const TextLine&) {
        if (asked == 0)
            h.engine.StepBackward(10); // to frame 0
        else if (asked == 1)
            h.engine.StepForward(100); // past the end: the last frame
        ++asked;
    };
    h.Play("REC_20240305_093000_S");
    ASSERT_TRUE(h.WaitForEnd());
    const auto seeks = h.parser.Seeks();
    ASSERT_EQ(seeks.size(), 2u);
    EXPECT_FLOAT_EQ(seeks[0], 0.0f);
    EXPECT_FLOAT_EQ(seeks[1], 4.0f) << "the second of the last frame, 149";
    EXPECT_EQ(FrontFrames(h.decoder.ShownPictures()).back(), 149);
}

TEST(PlayerEngine, SeekToTheStartIsARealRequest) {
    Harness h({.frames = 90, .rate = 30, .twoChannel = false});
    bool asked = false;
    h.onText = [&](const TextLine& line) {
        if (!asked && line.tag.number == 3) {
            asked = true;
            h.engine.SeekToMs(0);
        }
    };
    h.Play("REC_20240305_093000_S");
    ASSERT_TRUE(h.WaitForEnd());
    EXPECT_EQ(h.parser.Seeks(), (std::vector<float>{0.0f}));
}

// Waits until the decoder has shown `count` pictures in all.
bool WaitForShown(const FakeDecoder& decoder, size_t count, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (decoder.ShownPictures().size() < count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(PlayerEngine, RequestsWhilePausedMoveThePositionAndShowItsPicturesThenPlayGoesOnFromThere) {
    Harness h({.frames = 300, .rate = 30, .twoChannel = true});
    h.engine.SetFramePacing(true);
    h.Play();
    std::this_thread::sleep_for(100ms);
    h.engine.Pause();
    std::this_thread::sleep_for(50ms);
    const size_t before = h.decoder.ShownPictures().size();
    const size_t heard = h.audio.Blocks().size();

    h.engine.SeekToMs(5500); // frame 165: decoded from 150, shown with its rear picture
    ASSERT_TRUE(WaitForShown(h.decoder, before + 2));
    std::this_thread::sleep_for(30ms);
    auto shown = h.decoder.ShownPictures();
    ASSERT_EQ(shown.size(), before + 2) << "paused: nothing plays on";
    EXPECT_EQ(shown[before].channel, 0);
    EXPECT_EQ(shown[before].tag.number, 165);
    EXPECT_EQ(shown[before + 1].channel, 1);
    EXPECT_EQ(shown[before + 1].tag.number, 165);
    EXPECT_EQ(h.engine.ShownFrame(), 165);
    EXPECT_EQ(h.engine.CurrentMs(), 165 * 1000 / 30);
    EXPECT_FALSE(h.engine.IsRunning());
    EXPECT_EQ(h.audio.Blocks().size(), heard) << "paused: no sound of the new position plays";

    // Frame steps count from the picture on screen, and those asked before the worker takes
    // them add up (the worker may also take the first on its own: then the second counts from
    // its picture, which ends in the same place).
    h.engine.StepFrames(1);
    ASSERT_TRUE(WaitForShown(h.decoder, before + 4));
    EXPECT_EQ(h.decoder.ShownPictures()[before + 2].tag.number, 166);
    h.engine.StepFrames(-2);
    h.engine.StepFrames(-1);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (h.engine.ShownFrame() != 163 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    std::this_thread::sleep_for(30ms);
    shown = h.decoder.ShownPictures();
    ASSERT_GE(shown.size(), before + 6);
    EXPECT_EQ(shown[shown.size() - 2].channel, 0);
    EXPECT_EQ(shown[shown.size() - 2].tag.number, 163);
    EXPECT_EQ(shown.back().tag.number, 163) << "the rear picture of the same moment";
    EXPECT_EQ(h.engine.ShownFrame(), 163);
    for (size_t i = before + 4; i < shown.size(); ++i)
        EXPECT_TRUE(shown[i].tag.number == 164 || shown[i].tag.number == 163) << i;

    // A scrub shows the key frame at or before the time, decoding nothing else (the rear
    // picture waits for its own key frame, 215).
    const size_t decoded = h.decoder.DecodedOnly().size();
    const size_t beforeScrub = shown.size();
    h.engine.ScrubToMs(7900); // frame 237: key frame 210
    ASSERT_TRUE(WaitForShown(h.decoder, beforeScrub + 1));
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(h.decoder.ShownPictures().size(), beforeScrub + 1);
    EXPECT_EQ(h.decoder.ShownPictures()[beforeScrub].tag.number, 210);
    EXPECT_EQ(h.decoder.DecodedOnly().size(), decoded);
    EXPECT_EQ(h.engine.ShownFrame(), 210);

    // Playing goes on from the frame after the one shown, in order, nothing repeated.
    h.engine.Resume();
    ASSERT_TRUE(h.WaitForEnd());
    const auto front = FrontFrames(h.decoder.ShownPictures());
    const auto scrubbed = std::find(front.begin(), front.end(), 210);
    ASSERT_NE(scrubbed, front.end());
    for (auto frame = scrubbed; frame + 1 != front.end(); ++frame)
        EXPECT_EQ(*(frame + 1), *frame + 1);
    EXPECT_GE(h.engine.Repositions(), 4);
    EXPECT_LE(h.engine.Repositions(), 5);
}

TEST(PlayerEngine, PauseStopsTheSoundAndResumingStartsAgainAtTheNextFrame) {
    Harness h({.frames = 120, .rate = 30, .twoChannel = true, .cameraAudio = true});
    h.engine.SetFramePacing(true);
    h.Play();
    ASSERT_TRUE(WaitForShown(h.decoder, 30));
    h.engine.Pause();
    std::this_thread::sleep_for(50ms);
    EXPECT_GE(h.audio.Flushes(), 2) << "at Open and at the pause";
    const int32_t next = h.engine.ShownFrame() + 1;
    const int32_t seeksBefore = static_cast<int32_t>(h.parser.Seeks().size());
    h.engine.Resume();
    ASSERT_TRUE(h.WaitForEnd());
    EXPECT_EQ(static_cast<int32_t>(h.parser.Seeks().size()), seeksBefore + 1);
    // Every front frame is shown once, in order, across the pause; only a frame the worker
    // could not show in time (a busy machine) is left out.
    const auto front = FrontFrames(h.decoder.ShownPictures());
    ASSERT_FALSE(front.empty());
    EXPECT_EQ(front.front(), 0);
    EXPECT_EQ(front.back(), 119);
    for (size_t i = 1; i < front.size(); ++i)
        EXPECT_GT(front[i], front[i - 1]);
    EXPECT_LE(120 - static_cast<int64_t>(front.size()), h.engine.Stats().skipped);
    EXPECT_GT(next, 0);
}

TEST(PlayerEngine, RequestsWhileIdleAreDropped) {
    Harness h({.frames = 30, .rate = 30, .twoChannel = false});
    h.Play("REC_20240305_093000_S");
    ASSERT_TRUE(h.WaitForEnd());
    const size_t shown = h.decoder.ShownPictures().size();
    h.engine.SeekToMs(500);
    h.engine.StepFrames(-3);
    std::this_thread::sleep_for(60ms);
    EXPECT_TRUE(h.parser.Seeks().empty());
    EXPECT_EQ(h.decoder.ShownPictures().size(), shown);
    EXPECT_EQ(h.engine.StateValue(), CQTRMediaPlayer::kIdle);
}

TEST(PlayerEngine, StopWaitsForTheWorkerAndSendsNoEndEvent) {
    Harness h({.frames = 600, .rate = 30, .twoChannel = true});
    h.engine.SetFramePacing(true);
    for (int round = 0; round < 3; ++round) {
        h.Play();
        EXPECT_EQ(h.engine.StateValue(), CQTRMediaPlayer::kLoaded) << "as soon as Open returns";
        std::this_thread::sleep_for(80ms);
        EXPECT_EQ(h.engine.StateValue(), CQTRMediaPlayer::kLoaded);
        h.engine.Pause();
        h.engine.Stop();
        EXPECT_EQ(h.engine.StateValue(), CQTRMediaPlayer::kIdle);
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(h.engine.StateValue(), CQTRMediaPlayer::kIdle) << "the worker set it back";
    EXPECT_FALSE(h.parser.ClosedDuringRead());
    EXPECT_EQ(h.Ends(), 0);
    EXPECT_FALSE(h.engine.SaveSnapshot(0, "/nonexistent/x.jpg")) << "idle engines save nothing";
}

// The end is told once: a Resume after it (the window resumes right after an Open, which may
// have failed and ended at once) does not tell it again, or the window would play on past
// the next recording.
TEST(PlayerEngine, TheEndIsToldOnceAlsoWhenResumedAfterIt) {
    for (const bool failOpen : {true, false}) {
        Harness h({.frames = 6, .rate = 30, .twoChannel = false});
        h.parser.failOpen = failOpen;
        h.Play();
        ASSERT_TRUE(h.WaitForEnd());
        for (int i = 0; i < 3; ++i) {
            h.engine.Resume();
            std::this_thread::sleep_for(30ms);
        }
        EXPECT_EQ(h.Ends(), 1) << (failOpen ? "after a failed Open" : "after the end");
        // A new Open is told again.
        h.parser.failOpen = false;
        h.Play();
        for (int waited = 0; waited < 5000 && h.Ends() < 2; waited += 10)
            std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(h.Ends(), 2);
    }
}

TEST(PlayerEngine, PacedPlaybackRunsAtTheFrameRateTimesTheSpeed) {
    Harness h({.frames = 45, .rate = 30, .twoChannel = false}, /*withAudio=*/false);
    h.engine.SetFramePacing(true);
    auto start = std::chrono::steady_clock::now();
    h.Play("REC_20240305_093000_S");
    ASSERT_TRUE(h.WaitForEnd());
    // 45 frames one period apart: 44 periods of 33.3 ms.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1450ms);

    // At 400 % a period is 8.3 ms.
    Harness fast({.frames = 45, .rate = 30, .twoChannel = false}, /*withAudio=*/false);
    fast.engine.SetFramePacing(true);
    fast.engine.SetSpeedPercent(400);
    EXPECT_EQ(fast.engine.SpeedPercent(), 400);
    start = std::chrono::steady_clock::now();
    fast.Play("REC_20240305_093000_S");
    ASSERT_TRUE(fast.WaitForEnd());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 360ms);
    EXPECT_LT(elapsed, 1450ms);
    const CQTRMediaPlayer::FrameStats stats = fast.engine.Stats();
    EXPECT_EQ(stats.onTime + stats.late + stats.skipped, 45);
    fast.engine.SetSpeedPercent(5);
    EXPECT_EQ(fast.engine.SpeedPercent(), CQTRMediaPlayer::kMinSpeedPercent);
}

TEST(PlayerEngine, AFrameRateOfZeroPlaysAsThirtyFramesPerSecond) {
    Harness h({.frames = 60, .rate = 30, .twoChannel = false, .declaredRate = 0});
    bool asked = false;
    h.onText = [&](const TextLine& line) {
        if (!asked && line.tag.number == 0) {
            asked = true;
            h.engine.SeekToMs(1000);
        }
    };
    h.Play("REC_20240305_093000_S");
    ASSERT_TRUE(h.WaitForEnd());
    EXPECT_EQ(h.engine.DurationMs(), 2000);
    EXPECT_EQ(h.parser.Seeks(), (std::vector<float>{1.0f}));
    EXPECT_EQ(h.engine.CurrentMs(), h.engine.ShownFrame() * 1000 / 30);
}

TEST(PlayerEngine, StartNamesThePartThatFailedAndStopsWhatItHadStarted) {
    using Part = CQTRMediaPlayer::Part;
    for (const Part part : {Part::kParser, Part::kDecoder, Part::kAudioOutput}) {
        SCOPED_TRACE(CQTRMediaPlayer::PartName(part));
        Harness h({.frames = 5, .rate = 30, .twoChannel = false}, true, /*start=*/false);
        h.parser.failStart = part == Part::kParser;
        h.decoder.failOpen = part == Part::kDecoder;
        h.audio.failOpen = part == Part::kAudioOutput;
        const CQTRMediaPlayer::StartResult result = h.engine.Start(nullptr, nullptr);
        EXPECT_FALSE(result.Ok());
        EXPECT_EQ(result.failed, part);
        const bool parserStarted = part != Part::kParser;
        EXPECT_EQ(h.parser.StopCount(), parserStarted ? 1 : 0);
        EXPECT_EQ(h.decoder.CloseCount(), h.decoder.OpenCount()) << "no decoder left open";
        EXPECT_EQ(h.audio.OpenNow(), 0);

        // Nothing runs: a recording loaded now is not played, and Shutdown has nothing to do.
        h.Play("REC_20240305_093000_S");
        std::this_thread::sleep_for(50ms);
        EXPECT_TRUE(h.decoder.ShownPictures().empty());
        EXPECT_EQ(h.Ends(), 0);
        h.engine.Shutdown();
        EXPECT_EQ(h.parser.StopCount(), parserStarted ? 1 : 0);

        // Once the part works, the engine starts and plays (the recording loaded while it
        // was down is stopped first, so that only the new one plays).
        h.engine.Stop();
        h.parser.failStart = h.decoder.failOpen = h.audio.failOpen = false;
        ASSERT_TRUE(h.engine.Start(nullptr, nullptr).Ok());
        EXPECT_EQ(h.audio.OpenNow(), 1);
        h.Play("REC_20240305_093000_S");
        ASSERT_TRUE(h.WaitForEnd());
        EXPECT_EQ(FrontFrames(h.decoder.ShownPictures()), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    }
    EXPECT_STREQ(CQTRMediaPlayer::PartName(Part::kWorker), "worker thread");
    EXPECT_STREQ(CQTRMediaPlayer::PartName(Part::kNone), "");
}

TEST(PlayerEngine, OpenReportsARecordingTheParserCannotOpenAndPlaysItAsEmpty) {
    Harness h({.frames = 30, .rate = 30, .twoChannel = false});
    h.parser.failOpen = true;
    h.engine.Pause();
    h.engine.Stop();
    EXPECT_FALSE(h.engine.Open("REC_20240305_093000_S"));
    h.engine.Resume();
    ASSERT_TRUE(h.WaitForEnd());
    EXPECT_TRUE(h.decoder.ShownPictures().empty());
    EXPECT_EQ(h.engine.DurationMs(), 0);
    EXPECT_EQ(h.engine.StateValue(), CQTRMediaPlayer::kIdle);

    h.parser.failOpen = false;
    h.engine.Stop();
    EXPECT_TRUE(h.engine.Open("REC_20240305_093000_S"));
    EXPECT_EQ(h.engine.DurationMs(), 1000);
}

TEST(PlayerEngine, ChannelCountFollowsTheRecordingName) {
    Harness h({.frames = 5, .rate = 30, .twoChannel = true});
    EXPECT_EQ(h.engine.ChannelCount(), 1) << "before any Open, the rear rate decides (none yet)";
    const std::string longPath = "/" + std::string(200, 'x') + "/REC_20240305_093000_D";
    h.Play(longPath);
    ASSERT_TRUE(h.WaitForEnd());
    EXPECT_EQ(h.engine.ChannelCount(), 2) << "a long path is kept whole";
}

TEST(PlayerEngine, RearPicturesAtTheirOwnRateStayWithinAFrameOfTheFront) {
    // Front 30 fps, rear 25 and 12 fps: each rear picture comes on screen when the front
    // picture on screen has reached its time, never more than one front period apart. Also
    // when each rear frame is read before its front frame: the rear's first key frame, read
    // before the front's, is not lost (the rear would stay black for a second).
    for (const auto& [rearRate, rearLeads] :
         {std::pair{25, false}, std::pair{12, false}, std::pair{25, true}}) {
        Harness h({.frames = 90,
                   .rate = 30,
                   .twoChannel = true,
                   .rearRate = rearRate,
                   .rearLeads = rearLeads});
        h.Play();
        ASSERT_TRUE(h.WaitForEnd());
        int64_t frontUs = -1;
        int rearShown = 0;
        for (const auto& picture : h.decoder.ShownPictures()) {
            if (picture.channel == 0) {
                frontUs = picture.timeUs;
                continue;
            }
            ++rearShown;
            ASSERT_GE(frontUs, 0) << "a rear picture before any front one";
            EXPECT_LE(std::abs(picture.timeUs - frontUs), 1000000 / 30)
                << "rear " << picture.tag.number << " at " << rearRate << " fps";
        }
        EXPECT_GE(rearShown, 3 * rearRate - 2) << rearRate;
    }
}

TEST(PlayerEngine, AVariableRatePlaysAtThePicturesOwnPace) {
    // 30 fps for a second, then a picture every 66.7 ms; no sound to follow.
    Harness h({.frames = 45, .rate = 30, .twoChannel = false, .slowFrom = 30, .sound = false},
              false);
    h.engine.SetFramePacing(true);
    const auto began = std::chrono::steady_clock::now();
    h.Play("REC_20240305_093000_S");
    ASSERT_TRUE(h.WaitForEnd());
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_EQ(FrontFrames(h.decoder.ShownPictures()).size(), 45u);
    // 1 s + 15 × 66.7 ms of pictures; a count at 30 fps would take 1.5 s.
    EXPECT_GE(took, 1850ms);
    EXPECT_LE(took, 3000ms);
    std::vector<double> slow;
    const auto shown = h.decoder.ShownPictures();
    for (size_t i = 1; i < shown.size(); ++i)
        if (shown[i].tag.number > 31)
            slow.push_back(
                std::chrono::duration<double, std::milli>(shown[i].at - shown[i - 1].at).count());
    ASSERT_FALSE(slow.empty());
    std::sort(slow.begin(), slow.end());
    EXPECT_NEAR(slow[slow.size() / 2], 66.7, 15.0);
}

TEST(PlayerEngine, StepsCountFromTheSeekTheyFollow) {
    // A seek and steps asked one after the other land where all of them together lead,
    // whether the worker takes them one by one or merged into one request.
    Harness h({.frames = 300, .rate = 30, .twoChannel = true, .cameraAudio = true});
    h.engine.SetFramePacing(true);
    h.Play();
    ASSERT_TRUE(WaitForShown(h.decoder, 5));
    h.engine.Pause();
    h.engine.SeekToMs(5000);
    h.engine.StepForward(2);
    h.engine.StepFrames(3);
    h.engine.StepFrames(-1);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (h.engine.ShownFrame() != 7 * 30 + 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(h.engine.ShownFrame(), 7 * 30 + 2);
    EXPECT_EQ(h.engine.CurrentMs(), (7 * 30 + 2) * 1000 / 30);
    EXPECT_FALSE(h.engine.IsRunning());
}

TEST(PlayerEngine, PacedPlayingDecodesPicturesAheadAndShowsEachWithItsFrontAtItsMoment) {
    Harness h({.frames = 90, .rate = 30, .twoChannel = true, .cameraAudio = true});
    h.engine.SetFramePacing(true);
    h.Play();
    ASSERT_TRUE(WaitForShown(h.decoder, 40));
    // A pause drops what was decoded ahead: the position is the front picture last shown.
    h.engine.Pause();
    std::this_thread::sleep_for(50ms);
    for (int channel = 0; channel < 2; ++channel)
        EXPECT_EQ(h.decoder.KeptCount(channel), 0u) << channel;
    const auto paused = FrontFrames(h.decoder.ShownPictures());
    ASSERT_FALSE(paused.empty());
    EXPECT_EQ(h.engine.ShownFrame(), paused.back());
    h.engine.Resume();
    ASSERT_TRUE(h.WaitForEnd());

    EXPECT_GT(h.decoder.MostKept(0), 1u) << "front pictures were decoded ahead";
    EXPECT_LE(h.decoder.MostKept(0), CQTRMediaPlayer::kDecodeAheadPictures);
    // In order, each rear picture after its own front picture and before the next one, and
    // each front picture shown about a period after the one before it (but for the first few
    // of a position, which follow their sound's start).
    const auto settled = [&](int32_t frame) {
        return frame > 3 && (frame < paused.back() || frame > paused.back() + 4);
    };
    const auto shown = h.decoder.ShownPictures();
    int32_t front = -1;
    std::chrono::steady_clock::time_point frontAt{};
    for (const FakeDecoder::Shown& picture : shown) {
        if (picture.channel == 0) {
            EXPECT_GT(picture.tag.number, front);
            if (front >= 0 && picture.tag.number == front + 1 && settled(front)) {
                EXPECT_GE(picture.at - frontAt, 25ms) << picture.tag.number;
            }
            front = picture.tag.number;
            frontAt = picture.at;
        } else {
            EXPECT_EQ(picture.tag.number, front) << "a rear picture goes with its front";
        }
    }
    EXPECT_EQ(front, 89);

    // One at a time when asked.
    Harness single({.frames = 40, .rate = 30, .twoChannel = true});
    single.engine.SetFramePacing(true);
    single.engine.SetDecodeAhead(1);
    single.Play();
    ASSERT_TRUE(single.WaitForEnd());
    EXPECT_EQ(single.decoder.MostKept(0), 1u);
}

} // namespace

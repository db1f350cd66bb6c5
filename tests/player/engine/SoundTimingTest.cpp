// Where sound lies in a recording's time line and what is heard when: the placement of audio
// blocks after a reposition, the play clock, the media clock feeding the clocked null device
// at different speeds, through flushes and holds, and the engine's pictures against it.
#include "EngineFakes.h"
#include "player/audio/CNullAudio.h"
#include "player/engine/AudioPlacement.h"
#include "player/engine/CMediaSync.h"
#include "player/engine/CQTRMediaPlayer.h"
#include "player/engine/SoundPlayClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Front frame f at 30 fps, as the camera's counting times it.
constexpr int64_t At30(int64_t frame) {
    return frame * 1000000 / 30;
}

TEST(AudioPlacement, CutsJoinsAndFillsTheSoundFromTheTimePlayedFrom) {
    AudioPlacement placement;
    placement.SetFormat(16, 8000);
    AudioPlacement::Place place;
    // From 2.5 s: a block of 2.4 … 2.64 s loses its first 100 ms; the next block joins it,
    // also when its stated time is a little off.
    placement.Restart(2500000);
    EXPECT_FALSE(placement.PlaceBlock(2160000, 3840, place)) << "wholly before the start";
    ASSERT_TRUE(placement.PlaceBlock(2400000, 3840, place));
    EXPECT_EQ(place.skipBytes, 1600);
    EXPECT_EQ(place.startUs, 2500000);
    EXPECT_EQ(place.silenceUs, 0);
    ASSERT_TRUE(placement.PlaceBlock(2641000, 3840, place));
    EXPECT_EQ(place.skipBytes, 0);
    EXPECT_EQ(place.startUs, 2640000);
    // A block that overlaps what was placed loses the overlap.
    ASSERT_TRUE(placement.PlaceBlock(2780000, 3840, place));
    EXPECT_EQ(place.skipBytes, 1600);
    EXPECT_EQ(place.startUs, 2880000);
    // Sound that resumes later: silence fills the gap, so the clock keeps the pictures' time.
    ASSERT_TRUE(placement.PlaceBlock(4000000, 3840, place));
    EXPECT_EQ(place.silenceFromUs, 3020000);
    EXPECT_EQ(place.silenceUs, 980000);
    EXPECT_EQ(place.startUs, 4000000);
    // A gap longer than any hole to fill: the sound jumps there.
    ASSERT_TRUE(placement.PlaceBlock(20000000, 3840, place));
    EXPECT_EQ(place.silenceUs, 0);
    EXPECT_EQ(place.startUs, 20000000);

    // Sound that starts after the picture is filled from the start.
    placement.Restart(0);
    ASSERT_TRUE(placement.PlaceBlock(250000, 3840, place));
    EXPECT_EQ(place.silenceFromUs, 0);
    EXPECT_EQ(place.silenceUs, 250000);

    // 8-bit sound is cut at whole samples.
    placement.SetFormat(8, 8000);
    placement.Restart(2500001);
    ASSERT_TRUE(placement.PlaceBlock(2400000, 1920, place));
    EXPECT_EQ(place.skipBytes, 800);
    EXPECT_EQ(place.startUs, 2500001);
}

TEST(SoundPlayClock, FollowsThePiecesWrittenAtTheirSpeedsAndStopsWhereTheSoundRunsOut) {
    SoundPlayClock clock;
    const Clock::time_point t0 = Clock::now();
    int64_t heard = -1;
    EXPECT_FALSE(clock.HeardAt(t0, heard)) << "nothing written";
    clock.Written(240000, 1000000, 1.0);
    clock.Anchor(t0, 240000); // nothing heard of it yet
    ASSERT_TRUE(clock.HeardAt(t0 + 100ms, heard));
    EXPECT_EQ(heard, 1100000);
    // A second piece at double speed: 240 ms of output for 480 ms of recording.
    clock.Written(240000, 1240000, 2.0);
    clock.Anchor(t0 + 100ms, 380000);
    ASSERT_TRUE(clock.HeardAt(t0 + 300ms, heard));
    EXPECT_EQ(heard, 1240000 + 2 * 60000);
    EXPECT_FALSE(clock.HeardAt(t0 + 500ms, heard)) << "everything written has been heard";
    // An output that says it holds more than was written (sound of its own ahead of ours, as
    // a sink that had rendered ahead) starts ours that much later: until then the time heard
    // lies before our first sample.
    clock.Anchor(t0 + 300ms, 1000000); // 480 ms written
    ASSERT_TRUE(clock.HeardAt(t0 + 300ms, heard));
    EXPECT_EQ(heard, 1000000 - 520000);
    ASSERT_TRUE(clock.HeardAt(t0 + 820ms, heard));
    EXPECT_EQ(heard, 1000000);
    ASSERT_TRUE(clock.HeardAt(t0 + 920ms, heard));
    EXPECT_EQ(heard, 1100000);

    clock.Reset();
    EXPECT_FALSE(clock.HeardAt(t0 + 300ms, heard));
    clock.Written(240000, 5000000, 0.5);
    clock.Anchor(t0 + 400ms, 240000);
    ASSERT_TRUE(clock.HeardAt(t0 + 500ms, heard));
    EXPECT_EQ(heard, 5050000);
}

// What the null device was given: each piece's first byte, length and the moment it starts
// to be heard.
struct Played {
    int first;
    int32_t length;
    Clock::time_point start;
};

class PlayedLog {
public:
    explicit PlayedLog(CNullAudio& audio) {
        audio.SetPlayObserver([this](const uint8_t* bytes, int32_t length, Clock::time_point at) {
            std::lock_guard<std::mutex> hold(m_mutex);
            m_played.push_back({bytes[0], length, at});
        });
    }
    std::vector<Played> All() const {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_played;
    }
    bool WaitFor(size_t count) const {
        for (int i = 0; i < 400 && All().size() < count; ++i)
            std::this_thread::sleep_for(5ms);
        return All().size() >= count;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Played> m_played;
};

std::vector<uint8_t> Filled(uint8_t value, size_t size = 3840) {
    return std::vector<uint8_t>(size, value);
}

int64_t Us(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

// A tempo change that leaves the samples alone and keeps back nothing: enough to see how the
// media clock times its output.
class PassThroughTempo final : public VAudioTempo {
public:
    bool Begin(int32_t, int32_t, double tempo) override {
        begun.push_back(tempo);
        return true;
    }
    bool Process(const uint8_t* bytes, int32_t length, std::vector<uint8_t>& out) override {
        // Output lasting 1 / tempo as long, as a real stretch makes it.
        const auto size = static_cast<size_t>(length / 2 * 2 * 2 / 3) / 2 * 2;
        out.insert(out.end(), bytes, bytes + size);
        return true;
    }
    std::vector<double> begun;
};

TEST(MediaClock, HeardTimeFollowsTheDeviceAtEverySpeed) {
    CNullAudio audio;
    ASSERT_TRUE(audio.Open(16, 8000));
    PlayedLog log(audio);
    PassThroughTempo tempo;
    CMediaSync sync;
    sync.SetOutput(&audio);
    sync.SetTempo(&tempo);
    sync.SetFormat(16, 8000);
    ASSERT_TRUE(sync.StartFeed());

    // At 100 %: the blocks as they are, from 1 s of the recording on.
    const auto a = Filled(1);
    const auto b = Filled(2);
    sync.PushPcm(a.data(), 3840, 1000000);
    sync.PushPcm(b.data(), 3840);
    ASSERT_TRUE(log.WaitFor(2));
    int64_t heard = 0;
    Clock::time_point now = Clock::now();
    ASSERT_TRUE(sync.HeardUs(now, heard));
    const Played first = log.All().front();
    EXPECT_NEAR(static_cast<double>(heard), 1000000.0 + static_cast<double>(Us(now - first.start)),
                1000.0);

    // A flush drops what the device holds and forgets what was heard.
    sync.Flush();
    EXPECT_FALSE(sync.HeardUs(Clock::now(), heard));
    EXPECT_EQ(audio.QueuedMicros(), 0);

    // At 400 % there is no stretch: a quarter of the block's time in silence.
    sync.SetSpeedPercent(400);
    sync.PushPcm(a.data(), 3840, 3000000);
    ASSERT_TRUE(log.WaitFor(3));
    now = Clock::now();
    ASSERT_TRUE(sync.HeardUs(now, heard));
    Played silent = log.All()[2];
    EXPECT_EQ(silent.first, 0);
    EXPECT_EQ(silent.length, 960);
    EXPECT_NEAR(static_cast<double>(heard),
                3000000.0 + 4.0 * static_cast<double>(Us(now - silent.start)), 4000.0);

    // At 150 % the block goes through the tempo change, timed by its output.
    sync.Flush();
    sync.SetSpeedPercent(150);
    sync.PushPcm(b.data(), 3840, 5000000);
    ASSERT_TRUE(log.WaitFor(4));
    now = Clock::now();
    ASSERT_TRUE(sync.HeardUs(now, heard));
    const Played stretched = log.All()[3];
    EXPECT_EQ(stretched.first, 2);
    EXPECT_EQ(stretched.length, 2560);
    EXPECT_NEAR(static_cast<double>(heard),
                5000000.0 + 1.5 * static_cast<double>(Us(now - stretched.start)), 2000.0);
    EXPECT_EQ(tempo.begun, (std::vector<double>{1.5}));
    // At 25 % it is silent again, four times as long, in pieces of at most a block.
    sync.Flush();
    sync.SetSpeedPercent(25);
    sync.PushPcm(a.data(), 3840, 6000000);
    ASSERT_TRUE(log.WaitFor(6));
    const auto pieces = log.All();
    EXPECT_EQ(pieces[4].length, 3840);
    EXPECT_EQ(pieces[4].first, 0);
    sync.StopFeed();
}

TEST(MediaClock, HeldSoundWaitsInTheQueueUntilLetGo) {
    CNullAudio audio;
    ASSERT_TRUE(audio.Open(16, 8000));
    PlayedLog log(audio);
    CMediaSync sync;
    sync.SetOutput(&audio);
    ASSERT_TRUE(sync.StartFeed());
    sync.Hold(true);
    const auto a = Filled(7);
    sync.PushPcm(a.data(), 3840, 0);
    sync.PushPcm(a.data(), 3840);
    std::this_thread::sleep_for(40ms);
    EXPECT_TRUE(log.All().empty());
    EXPECT_EQ(sync.QueuedBlocks(), 2);
    int64_t heard = 0;
    EXPECT_FALSE(sync.HeardUs(Clock::now(), heard));
    sync.Hold(false);
    ASSERT_TRUE(log.WaitFor(2));
    sync.WaitForAudio();
    EXPECT_LT(sync.QueuedBlocks(), 2);
    sync.StopFeed();
}

} // namespace

namespace {

// The recording time heard at `when` by the log of the null device, for camera blocks that
// carry their number in their first byte (a block cut at its start is known by its length).
// The newest piece playing then counts: pieces queued before a flush never played.
bool HeardAtFromLog(const std::vector<Played>& played, Clock::time_point when, int64_t& us) {
    for (auto it = played.rbegin(); it != played.rend(); ++it) {
        const Played& piece = *it;
        const auto length = std::chrono::microseconds(int64_t{piece.length} / 2 * 125);
        if (when >= piece.start && when < piece.start + length) {
            const int64_t blockEnd = (int64_t{piece.first} + 1) * 240000;
            us = blockEnd - length.count() + Us(when - piece.start);
            return true;
        }
    }
    return false;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

TEST(EngineSync, FrontPicturesAreShownWhenTheirTimeIsHeardAlsoAfterASeek) {
    FakeParser parser({.frames = 150, .rate = 30, .twoChannel = true, .cameraAudio = true});
    FakeDecoder decoder(&parser);
    CNullAudio audio;
    PlayedLog log(audio);
    CQTRMediaPlayer engine;
    engine.SetParser(&parser);
    engine.SetDecoder(&decoder);
    engine.SetAudio(&audio);
    ASSERT_TRUE(engine.Start(nullptr, nullptr).Ok());
    engine.Open("REC_20240305_093000_D");
    engine.Resume();
    while (engine.ShownFrame() < 44)
        std::this_thread::sleep_for(5ms);
    engine.SeekToMs(3000);
    while (engine.StateValue() != CQTRMediaPlayer::kIdle || engine.ShownFrame() < 99)
        std::this_thread::sleep_for(10ms);
    engine.Shutdown();

    // Picture i is due when 33.3 i ms is heard: compare, leaving out the first picture of
    // each start (shown at once, its sound following it).
    std::vector<double> offsets;
    const auto played = log.All();
    int32_t previous = -2;
    for (const auto& picture : decoder.ShownPictures()) {
        if (picture.channel != 0)
            continue;
        const int32_t frame = picture.tag.number;
        int64_t heard = 0;
        if (frame == previous + 1 && HeardAtFromLog(played, picture.at, heard))
            offsets.push_back(static_cast<double>(heard - At30(frame)) / 1000.0);
        previous = frame;
    }
    ASSERT_GT(offsets.size(), 60u);
    EXPECT_LT(std::abs(Median(offsets)), 5.0) << "ms: the picture is shown as its sound plays";
    const auto within = std::count_if(offsets.begin(), offsets.end(),
                                      [](double offset) { return std::abs(offset) < 20.0; });
    EXPECT_GE(static_cast<size_t>(within) * 10, offsets.size() * 9);
}

TEST(EngineSync, SpeedChangesWhilePlayingStretchOrMuteTheSoundAndKeepThePicturesInOrder) {
    FakeParser parser({.frames = 240, .rate = 30, .twoChannel = false, .cameraAudio = true});
    FakeDecoder decoder(&parser);
    CNullAudio audio;
    PlayedLog log(audio);
    PassThroughTempo tempo;
    CQTRMediaPlayer engine;
    engine.SetParser(&parser);
    engine.SetDecoder(&decoder);
    engine.SetAudio(&audio);
    engine.SetTempo(&tempo);
    ASSERT_TRUE(engine.Start(nullptr, nullptr).Ok());
    const auto start = Clock::now();
    engine.Open("REC_20240305_093000_S");
    engine.Resume();
    while (engine.StateValue() != CQTRMediaPlayer::kLoaded)
        std::this_thread::sleep_for(1ms);
    const auto waitFor = [&](int32_t frame) {
        while (engine.ShownFrame() + 1 < frame && engine.StateValue() != CQTRMediaPlayer::kIdle)
            std::this_thread::sleep_for(5ms);
    };
    waitFor(30);
    engine.SetSpeedPercent(200); // stretched sound
    waitFor(90);
    const size_t piecesBeforeFast = log.All().size();
    engine.SetSpeedPercent(400); // silence
    while (engine.StateValue() != CQTRMediaPlayer::kIdle)
        std::this_thread::sleep_for(10ms);
    const auto took = Clock::now() - start;
    engine.Shutdown();

    EXPECT_EQ(tempo.begun, (std::vector<double>{2.0}));
    const auto played = log.All();
    ASSERT_GT(played.size(), piecesBeforeFast);
    EXPECT_TRUE(std::any_of(played.begin() + static_cast<std::ptrdiff_t>(piecesBeforeFast),
                            played.end(), [](const Played& piece) { return piece.first == 0; }))
        << "silence at 400 %";
    // 1 s at 1x, 2 s of the recording at 2x and 5 s at 4x: about 3.25 s, not 8.
    EXPECT_LT(took, 6s);
    int32_t previous = -1;
    for (const auto& picture : decoder.ShownPictures()) {
        EXPECT_GT(picture.tag.number, previous);
        previous = picture.tag.number;
    }
    EXPECT_EQ(previous, 239);
}

} // namespace

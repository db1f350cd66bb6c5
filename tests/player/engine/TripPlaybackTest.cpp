// The engine playing a drive through the trip parser, over fake recordings: every picture of
// every segment shown in order across the boundaries, the sound going on, and paced playing that
// does not stall at a boundary whose segment opens slowly.
#include "EngineFakes.h"
#include "player/engine/CQTRMediaPlayer.h"
#include "player/source/CTripParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A fake recording whose Open takes a while, as a file on a slow card does.
class SlowOpening final : public VMediaParser {
public:
    SlowOpening(FakeRecording recording, std::chrono::milliseconds delay)
        : m_inner(recording), m_delay(delay) {}
    bool Start() override { return m_inner.Start(); }
    void Stop() override { m_inner.Stop(); }
    int64_t Open(const std::string& name, OpenInfo* info) override {
        std::this_thread::sleep_for(m_delay);
        return m_inner.Open(name, info);
    }
    void Close() override { m_inner.Close(); }
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override {
        return m_inner.Read(buffer, capacity, packet);
    }
    VideoSize GetVideoSize(int stream) override { return m_inner.GetVideoSize(stream); }
    int32_t GetFrameRate(int stream) override { return m_inner.GetFrameRate(stream); }
    void GetAudioFormat(int32_t& bits, int32_t& rate) override {
        m_inner.GetAudioFormat(bits, rate);
    }
    int SeekTime(float seconds) override { return m_inner.SeekTime(seconds); }

private:
    FakeParser m_inner;
    std::chrono::milliseconds m_delay;
};

// Three segments of the same fake recording laid end to end, played by the engine through
// the trip parser at full speed unless a test asks for pacing.
struct TripHarness {
    TripHarness(FakeRecording recording, std::chrono::milliseconds openDelay, bool withAudio)
        : trip([recording, openDelay] {
              return std::make_unique<SlowOpening>(recording, openDelay);
          }) {
        const int64_t lengthUs = int64_t{recording.frames} * 1000000 / recording.rate;
        trip.SetSegments({{"REC_20240305_093000_D", 0, lengthUs},
                          {"REC_20240305_093100_D", lengthUs, lengthUs},
                          {"REC_20240305_093200_D", 2 * lengthUs, lengthUs}});
        engine.SetParser(&trip);
        engine.SetDecoder(&decoder);
        if (withAudio)
            engine.SetAudio(&audio);
        engine.SetFramePacing(false);
        EXPECT_TRUE(engine.Start(nullptr, nullptr).Ok());
    }
    ~TripHarness() { engine.Shutdown(); }

    // Plays the drive from its start and waits for its end.
    bool PlayToTheEnd() {
        engine.Open("drive");
        engine.Resume();
        for (int i = 0; i < 2000 && engine.IsRunning(); ++i)
            std::this_thread::sleep_for(10ms);
        return !engine.IsRunning();
    }
    std::vector<FakeDecoder::Shown> Front() const {
        std::vector<FakeDecoder::Shown> front;
        for (const auto& picture : decoder.ShownPictures())
            if (picture.channel == 0)
                front.push_back(picture);
        return front;
    }

    CTripParser trip;
    FakeDecoder decoder;
    FakeAudio audio;
    CQTRMediaPlayer engine;
};

constexpr int64_t kPeriodUs = 1000000 / 30;

} // namespace

TEST(TripPlayback, EveryPictureOfEverySegmentInOrderAndTheSoundGoesOn) {
    TripHarness h({.frames = 45, .rate = 30, .twoChannel = true, .cameraAudio = true}, 0ms, true);
    ASSERT_TRUE(h.PlayToTheEnd());
    EXPECT_EQ(h.engine.DurationMs(), 4500) << "the drive's length";
    const auto front = h.Front();
    ASSERT_EQ(front.size(), 135u);
    for (size_t i = 0; i < front.size(); ++i) {
        EXPECT_EQ(front[i].tag.number, static_cast<int32_t>(i % 45)) << i;
        if (i > 0) {
            EXPECT_GT(front[i].timeUs, front[i - 1].timeUs) << i;
            EXPECT_LE(front[i].timeUs - front[i - 1].timeUs, 2 * kPeriodUs) << i;
        }
    }
    EXPECT_GE(h.engine.ShownFrame(), 134);
    // The rear pictures of each segment, from its first rear key frame on, keep their order.
    int rear = 0;
    for (const auto& picture : h.decoder.ShownPictures())
        rear += picture.channel == 1 ? 1 : 0;
    EXPECT_GE(rear, 3 * 40);

    // Each segment's six 240 ms blocks reach the output whole and in order, 60 ms of silence
    // filling the rest of its 1.5 s.
    std::this_thread::sleep_for(50ms);
    std::vector<int> blocks;
    int64_t bytes = 0;
    for (const auto& [first, length] : h.audio.FirstBytesAndLengths()) {
        if (length == 3840)
            blocks.push_back(first);
        bytes += length;
    }
    EXPECT_EQ(blocks, (std::vector<int>{0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(bytes, (3000 + 1440) * 16); // up to the last block's end, at 16 bytes a ms
}

TEST(TripPlayback, PacedPlayingDoesNotStallAtABoundaryWhoseSegmentOpensSlowly) {
    // Each open takes 250 ms: the read-ahead opens the next segment while the current plays.
    TripHarness h({.frames = 30, .rate = 30, .twoChannel = false}, 250ms, false);
    h.engine.SetFramePacing(true);
    ASSERT_TRUE(h.PlayToTheEnd());
    // Every picture came to its moment (one too late on a busy machine may be left out).
    const CQTRMediaPlayer::FrameStats stats = h.engine.Stats();
    EXPECT_EQ(stats.onTime + stats.late + stats.skipped, 90);
    EXPECT_LE(stats.skipped, 3);
    const auto front = h.Front();
    ASSERT_GE(front.size(), 87u);
    std::vector<double> intervals;
    for (size_t i = 1; i < front.size(); ++i)
        intervals.push_back(
            std::chrono::duration<double, std::milli>(front[i].at - front[i - 1].at).count());
    std::sort(intervals.begin(), intervals.end());
    const double widest = intervals.back();
    EXPECT_NEAR(intervals[intervals.size() / 2], 33.3, 8.0);
    // An open at the boundary would hold one picture back by its 250 ms.
    EXPECT_LT(widest, 4 * 33.3);
}

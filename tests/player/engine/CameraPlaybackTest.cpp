// The engine with a car's six cameras: every camera from its own first key frame, each picture
// shown with the front picture of its time, the cameras' decode cost, the counts per camera,
// and a reposition that shows every camera's picture of the target at once.
#include "EngineFakes.h"
#include "player/engine/CQTRMediaPlayer.h"
#include "tests/player/decoder/FakePictureArea.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int kCameras = 6;

class CarHarness {
public:
    explicit CarHarness(FakeRecording recording,
                        std::vector<VPictureArea*> areas = std::vector<VPictureArea*>(kCameras))
        : parser(recording), decoder(&parser) {
        engine.SetParser(&parser);
        engine.SetDecoder(&decoder);
        engine.SetAudio(&audio);
        engine.SetEventCallback(&CarHarness::OnEvent, this);
        EXPECT_TRUE(engine.Start(areas).Ok());
    }
    ~CarHarness() { engine.Shutdown(); }

    void Play() {
        engine.Open("2024-03-05_09-07-02");
        engine.Resume();
    }
    bool WaitForEnd() {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool ended = m_changed.wait_for(lock, 20s, [this] { return m_ended; });
        m_ended = false;
        return ended;
    }

    FakeParser parser;
    FakeDecoder decoder;
    FakeAudio audio;
    CQTRMediaPlayer engine;

private:
    static void OnEvent(void* user, int event, int, int) {
        auto* self = static_cast<CarHarness*>(user);
        std::lock_guard<std::mutex> hold(self->m_mutex);
        if (event == CQTRMediaPlayer::kEventEnd)
            self->m_ended = true;
        self->m_changed.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_ended = false;
};

FakeRecording SixCameras(int32_t frames) {
    FakeRecording recording;
    recording.frames = frames;
    recording.rate = 30;
    recording.cameras = kCameras;
    return recording;
}

} // namespace

TEST(CarCameras, EveryCameraPlaysFromItsKeyFrameWithinAFramePeriodOfTheFront) {
    CarHarness h(SixCameras(60));
    h.engine.SetFramePacing(false); // at full speed: no camera falls behind
    h.engine.SetMainCamera(3);
    h.Play();
    ASSERT_TRUE(h.WaitForEnd());
    EXPECT_EQ(h.engine.ChannelCount(), kCameras);

    const auto shown = h.decoder.ShownPictures();
    const int64_t periodUs = 1000000 / 30;
    std::vector<int32_t> next = {0, 5, 2, 3, 4, 5}; // each camera's first key frame
    int64_t frontUs = -1;
    std::vector<int64_t> counts(kCameras, 0);
    for (const auto& picture : shown) {
        ASSERT_GE(picture.channel, 0);
        ASSERT_LT(picture.channel, kCameras);
        const auto c = static_cast<size_t>(picture.channel);
        ++counts[c];
        // Every picture in order, none left out (the fakes decode at once).
        EXPECT_EQ(picture.tag.number, next[c]) << "camera " << c;
        next[c] = picture.tag.number + 1;
        if (c == 0) {
            frontUs = picture.timeUs;
            continue;
        }
        ASSERT_GE(frontUs, 0) << "no camera before the first front picture";
        EXPECT_LE(std::llabs(picture.timeUs - frontUs), periodUs)
            << "camera " << c << " picture " << picture.tag.number;
    }
    for (int c = 0; c < kCameras; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(next[static_cast<size_t>(c)], 60) << "played to the last picture";
        const CQTRMediaPlayer::CameraStats stats = h.engine.CameraStatsOf(c);
        EXPECT_EQ(stats.presented, counts[static_cast<size_t>(c)]);
        EXPECT_EQ(stats.dropped, 0);
        // The front and the main camera are decoded whole, the others without deblocking.
        const DecodeCost cost = h.decoder.CostOf(c);
        EXPECT_EQ(cost.skipLoopFilter, c != 0 && c != 3);
        EXPECT_FALSE(cost.skipNonReference) << "nothing fell behind";
    }
    EXPECT_EQ(h.engine.CameraStatsOf(kCameras).presented, 0);

    // Whole decoding on request; the counts start again with the next recording.
    h.engine.SetReducedCost(false);
    h.engine.Stop();
    h.engine.Open("2024-03-05_09-07-02");
    EXPECT_EQ(h.engine.CameraStatsOf(2).presented, 0);
    h.engine.Resume();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (h.engine.CameraStatsOf(5).presented < 10 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(h.decoder.CostOf(5).skipLoopFilter);
}

TEST(CarCameras, ARepositionWhilePausedShowsEveryCameraOfTheTarget) {
    CarHarness h(SixCameras(300));
    h.Play();
    std::this_thread::sleep_for(150ms);
    h.engine.Pause();
    std::this_thread::sleep_for(50ms);
    const size_t before = h.decoder.ShownPictures().size();

    h.engine.SeekToMs(5500); // frame 165, decoded from 150
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (h.decoder.ShownPictures().size() < before + kCameras &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    std::this_thread::sleep_for(30ms);
    const auto shown = h.decoder.ShownPictures();
    ASSERT_EQ(shown.size(), before + kCameras) << "paused: nothing plays on";
    for (int c = 0; c < kCameras; ++c) {
        EXPECT_EQ(shown[before + static_cast<size_t>(c)].channel, c);
        EXPECT_EQ(shown[before + static_cast<size_t>(c)].tag.number, 165) << c;
    }
    EXPECT_EQ(h.engine.ShownFrame(), 165);
}

TEST(CarCameras, AHiddenCameraIsDeferredWithItsKeyFramesAndDecodedOnceSeen) {
    // The rear's area is hidden (the map lies over it); the other cameras have none.
    FakePictureArea rear(0, 0);
    CarHarness h(SixCameras(60), {nullptr, &rear, nullptr, nullptr, nullptr, nullptr});
    h.engine.SetFramePacing(false);
    h.Play();
    ASSERT_TRUE(h.WaitForEnd());
    for (const auto& picture : h.decoder.ShownPictures())
        EXPECT_NE(picture.channel, 1) << "shown while hidden";
    for (const auto& picture : h.decoder.DecodedOnly())
        EXPECT_NE(picture.channel, 1) << "decoded while hidden";
    // Every rear packet from its first key frame on, in order, with the demuxer's key flags
    // (rear key frames at 5 and 35); the cameras without an area are decoded as before.
    const auto deferred = h.decoder.DeferredPackets();
    ASSERT_EQ(deferred.size(), 55u);
    for (size_t i = 0; i < deferred.size(); ++i) {
        EXPECT_EQ(deferred[i].channel, 1);
        EXPECT_EQ(deferred[i].tag.number, static_cast<int32_t>(i) + 5);
        EXPECT_EQ(deferred[i].key, deferred[i].tag.number == 5 || deferred[i].tag.number == 35);
    }
    EXPECT_EQ(h.engine.CameraStatsOf(1).presented, 0);
    EXPECT_EQ(h.engine.CameraStatsOf(1).dropped, 0);
    EXPECT_EQ(h.engine.CameraStatsOf(2).presented, 58);

    // Seen again: decoded and shown as the others are.
    rear.Resize(320, 180);
    h.engine.Stop();
    h.Play();
    ASSERT_TRUE(h.WaitForEnd());
    EXPECT_EQ(h.decoder.DeferredPackets().size(), 55u) << "nothing more deferred";
    EXPECT_EQ(h.engine.CameraStatsOf(1).presented, 55);
}

#include "player/engine/CMediaSync.h"
#include "player/engine/FramePacer.h"
#include "player/engine/PacketFifo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> Block(size_t size, uint8_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

TEST(MediaClock, KeepsOrderAndLengthsAndCutsLongBlocks) {
    CMediaSync sync;
    const auto a = Block(5000, 1);
    const auto b = Block(100, 2);
    const auto c = Block(0, 3);
    sync.PushPcm(a.data(), 5000);
    sync.PushPcm(b.data(), 100);
    sync.PushPcm(c.data(), 0);
    EXPECT_EQ(sync.QueuedBlocks(), 3);

    std::vector<uint8_t> out(CMediaSync::kBlockBytes, 0xEE);
    int32_t length = -1;
    ASSERT_TRUE(sync.PopPcm(out.data(), length));
    EXPECT_EQ(length, 3840);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), a.begin()));
    ASSERT_TRUE(sync.PopPcm(out.data(), length));
    EXPECT_EQ(length, 100);
    EXPECT_TRUE(std::equal(b.begin(), b.end(), out.begin()));
    ASSERT_TRUE(sync.PopPcm(out.data(), length));
    EXPECT_EQ(length, 0);

    out.assign(out.size(), 0x5A);
    length = 77;
    EXPECT_FALSE(sync.PopPcm(out.data(), length));
    EXPECT_EQ(length, 77);
    EXPECT_EQ(out[0], 0x5A);

    sync.PushPcm(b.data(), 100);
    sync.Clear();
    EXPECT_FALSE(sync.PopPcm(out.data(), length));
}

// Remembers what the feed thread wrote.
class CountingAudio final : public VAudio {
public:
    bool Open(int32_t, int32_t) override { return true; }
    int Close() override { return 1; }
    void Write(const uint8_t* bytes, int32_t length) override {
        std::lock_guard<std::mutex> hold(mutex);
        firstBytes.push_back(length > 0 ? bytes[0] : -1);
    }
    void SetVolume(uint32_t) override {}
    int64_t QueuedMicros() const override { return 0; }
    std::vector<int> Written() {
        std::lock_guard<std::mutex> hold(mutex);
        return firstBytes;
    }

private:
    std::mutex mutex;
    std::vector<int> firstBytes;
};

TEST(MediaClock, FeedThreadWritesBlocksInOrderAndWaitForAudioFollowsTheQueue) {
    CMediaSync sync;
    CountingAudio audio;
    const auto a = Block(10, 10);
    const auto b = Block(10, 20);
    const auto c = Block(10, 30);

    // Without a feed, one queued block lets the engine go on, two hold it.
    sync.PushPcm(a.data(), 10);
    const auto t0 = std::chrono::steady_clock::now();
    sync.WaitForAudio();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 50ms);
    sync.PushPcm(b.data(), 10);
    std::atomic<bool> keepWaiting{true};
    std::thread release([&] {
        std::this_thread::sleep_for(60ms);
        keepWaiting.store(false);
    });
    const auto t1 = std::chrono::steady_clock::now();
    sync.WaitForAudio(&keepWaiting);
    EXPECT_GE(std::chrono::steady_clock::now() - t1, 50ms) << "waits while two are queued";
    release.join();

    sync.PushPcm(c.data(), 10);
    sync.SetOutput(&audio);
    ASSERT_TRUE(sync.StartFeed());
    EXPECT_FALSE(sync.StartFeed()) << "the feed is already running";
    sync.WaitForAudio(); // the feed drains the queue
    for (int i = 0; i < 100 && audio.Written().size() < 3; ++i)
        std::this_thread::sleep_for(5ms);
    sync.StopFeed();
    EXPECT_EQ(audio.Written(), (std::vector<int>{10, 20, 30}));
}

TEST(FramePacer, SteadyScheduleKeepsFramesOnePeriodApartAndCatchesUpAfterShortHolds) {
    using std::chrono::microseconds;
    using std::chrono::milliseconds;
    FramePacer pacer;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(pacer.NextDue(t0, 30), microseconds(0)) << "the first frame goes at once";
    // The work between frames is taken out of the wait, not added to the period.
    EXPECT_EQ(pacer.NextDue(t0 + milliseconds(5), 30), microseconds(33333 - 5000));
    // Due at 66.666 ms; a frame held 20 ms beyond goes at once and the next one is due on
    // the old schedule (99.999 ms), 13.3 ms later.
    EXPECT_EQ(pacer.NextDue(t0 + microseconds(86666), 30), microseconds(0));
    EXPECT_EQ(pacer.NextDue(t0 + microseconds(86666), 30), microseconds(99999 - 86666));
    // A hold of more than 100 ms (a seek, a pause) starts a new schedule.
    EXPECT_EQ(pacer.NextDue(t0 + milliseconds(900), 30), microseconds(0));
    EXPECT_EQ(pacer.NextDue(t0 + milliseconds(910), 30), microseconds(33333 - 10000));
}

TEST(FramePacer, MeanCompensatedWaitsThePeriodLessTheMeanIntervalLessTwo) {
    FramePacer pacer;
    EXPECT_EQ(pacer.NextWait(5, 30), 26); // 33 - 5 - 2
    for (int i = 0; i < 30; ++i)
        pacer.NextWait(5, 30);
    EXPECT_EQ(pacer.NextWait(5, 30), 26);
    // Slow passes push the mean up until no wait is left; a long stall counts as 60 ms.
    FramePacer slow;
    EXPECT_EQ(slow.NextWait(1000, 30), 0);
    for (int i = 0; i < 22; ++i)
        slow.NextWait(0, 30);
    EXPECT_EQ(slow.NextWait(0, 30), 29) << "the stall is still one of the last 24";
    EXPECT_EQ(slow.NextWait(0, 30), 31) << "and then it has left the history";
    FramePacer fast;
    EXPECT_EQ(fast.NextWait(0, 10), 0) << "waits over 39 ms are not slept";
}

TEST(PacketFifo, KeepsOrderAndBytesThroughCompactionAndGrowth) {
    PacketFifo fifo;
    std::deque<std::pair<PacketFifo::Kind, std::vector<uint8_t>>> model;
    std::mt19937 random(7);
    std::vector<uint8_t> out(70000);
    for (int round = 0; round < 1500; ++round) {
        if (random() % 3 != 0 || model.empty()) {
            const auto kind = random() % 2 ? PacketFifo::kFront : PacketFifo::kRear;
            auto bytes = Block(random() % 65000, static_cast<uint8_t>(round));
            fifo.Push(kind, bytes.data(), static_cast<int32_t>(bytes.size()));
            model.emplace_back(kind, std::move(bytes));
        } else {
            int32_t size = -1;
            PacketFifo::Kind kind = PacketFifo::kFront;
            ASSERT_TRUE(fifo.PopOldest(out.data(), out.size(), size, kind));
            ASSERT_EQ(kind, model.front().first);
            ASSERT_EQ(static_cast<size_t>(size), model.front().second.size());
            ASSERT_TRUE(
                std::equal(model.front().second.begin(), model.front().second.end(), out.begin()));
            model.pop_front();
        }
        ASSERT_EQ(fifo.Count(), model.size());
    }
    fifo.Clear();
    int32_t size = 0;
    PacketFifo::Kind kind = PacketFifo::kFront;
    EXPECT_FALSE(fifo.PopOldest(out.data(), out.size(), size, kind));
}

} // namespace

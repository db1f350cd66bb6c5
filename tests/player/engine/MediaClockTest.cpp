#include "base/DiagLog.h"
#include "player/engine/CMediaSync.h"
#include "player/engine/FramePacer.h"
#include "player/engine/PacketFifo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
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
    void Flush() override {}
    std::vector<int> Written() {
        std::lock_guard<std::mutex> hold(mutex);
        return firstBytes;
    }

private:
    std::mutex mutex;
    std::vector<int> firstBytes;
};

// At 48 kHz a block plays for 40 ms: two queued blocks are far less than the pictures the
// engine holds back, and waiting for fewer would hold the reading until the sound runs ahead
// of every picture. The read-ahead lets the queue hold that much sound.
TEST(MediaClock, ReadAheadLetsTheQueueHoldAsMuchSoundAsTheDelayLineAtHighRates) {
    CMediaSync sync;
    sync.SetFormat(16, 48000);
    sync.SetReadAheadUs(800000);
    std::vector<uint8_t> block(CMediaSync::kBlockBytes, 0);
    for (int i = 0; i < 19; ++i) // 760 ms
        sync.PushPcm(block.data(), static_cast<int32_t>(block.size()));
    auto t0 = std::chrono::steady_clock::now();
    sync.WaitForAudio();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 50ms) << "760 ms queued, 800 allowed";

    sync.PushPcm(block.data(), static_cast<int32_t>(block.size())); // 800 ms
    std::atomic<bool> keepWaiting{true};
    std::thread release([&] {
        std::this_thread::sleep_for(60ms);
        keepWaiting.store(false);
    });
    t0 = std::chrono::steady_clock::now();
    sync.WaitForAudio(&keepWaiting);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 50ms) << "waits once the read-ahead is full";
    release.join();

    sync.Flush();
    sync.PushPcm(block.data(), static_cast<int32_t>(block.size()));
    sync.PushPcm(block.data(), static_cast<int32_t>(block.size()));
    t0 = std::chrono::steady_clock::now();
    sync.WaitForAudio();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 50ms) << "the flush emptied the count";
}

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

TEST(FramePacer, LogsTheIntervalTheMeanOfTheLast24AndTheWaitPerFrame) {
    FramePacer history;
    EXPECT_EQ(history.RecordInterval(1000), 60) << "a long stall counts as 60 ms";
    for (int i = 0; i < 22; ++i)
        history.RecordInterval(0);
    EXPECT_EQ(history.RecordInterval(0), 2) << "the stall is still one of the last 24";
    EXPECT_EQ(history.RecordInterval(0), 0) << "and then it has left the history";
    EXPECT_EQ(history.RecordInterval(-5), 0);

    std::vector<std::string> lines;
    const DiagLog log([&](std::string_view line) { lines.emplace_back(line); });
    FramePacer pacer(&log);
    pacer.Pace(0, 1000);
    pacer.Pace(7, 1000);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[00] dif 60, mean 60 :  0 msec\n")
        << "the first pass counts as 60 ms and waits for nothing";
    int channel = -1;
    int interval = -1;
    int mean = -1;
    int slept = -1;
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "[%d] dif %d, mean %d : %d msec", &channel, &interval,
                          &mean, &slept),
              4)
        << lines[1];
    EXPECT_EQ(channel, 7);
    EXPECT_EQ(mean, (60 + interval) / 2);
    EXPECT_LE(slept, 1) << "a 1 ms period";
}

TEST(PacketFifo, KeepsOrderAndBytesThroughCompactionAndGrowth) {
    PacketFifo fifo;
    struct Entry {
        PacketFifo::Kind kind;
        std::vector<uint8_t> bytes;
        int64_t timeUs;
    };
    std::deque<Entry> model;
    std::mt19937 random(7);
    std::vector<uint8_t> out(70000);
    for (int round = 0; round < 1500; ++round) {
        if (random() % 3 != 0 || model.empty()) {
            const auto kind = random() % 2 ? PacketFifo::kFront : PacketFifo::kRear;
            auto bytes = Block(random() % 65000, static_cast<uint8_t>(round));
            const int64_t timeUs = int64_t{round} * 33333;
            fifo.Push(kind, bytes.data(), static_cast<int32_t>(bytes.size()), timeUs);
            model.push_back({kind, std::move(bytes), timeUs});
        } else {
            int32_t size = -1;
            PacketFifo::Kind kind = PacketFifo::kFront;
            int64_t timeUs = -1;
            ASSERT_TRUE(fifo.PopOldest(out.data(), out.size(), size, kind, timeUs));
            ASSERT_EQ(kind, model.front().kind);
            ASSERT_EQ(timeUs, model.front().timeUs);
            ASSERT_EQ(static_cast<size_t>(size), model.front().bytes.size());
            ASSERT_TRUE(
                std::equal(model.front().bytes.begin(), model.front().bytes.end(), out.begin()));
            model.pop_front();
        }
        ASSERT_EQ(fifo.Count(), model.size());
    }
    fifo.Clear();
    int32_t size = 0;
    PacketFifo::Kind kind = PacketFifo::kFront;
    int64_t timeUs = 0;
    EXPECT_FALSE(fifo.PopOldest(out.data(), out.size(), size, kind, timeUs));
}

} // namespace

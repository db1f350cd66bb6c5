#include "player/audio/CNullAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = CNullAudio::Clock;

namespace {

constexpr int32_t kBlock = VAudio::kBlockBytes;
// One full block of 16-bit sound at 8 kHz.
constexpr auto kBlockTime = 240ms;

struct Heard {
    int32_t length;
    Clock::time_point start;
};

// Records what the device was given and when each block starts to be heard.
class Recorder {
public:
    explicit Recorder(CNullAudio& audio) {
        audio.SetPlayObserver([this](const uint8_t*, int32_t length, Clock::time_point start) {
            std::lock_guard lock(m_mutex);
            m_heard.push_back({length, start});
        });
    }
    std::vector<Heard> All() const {
        std::lock_guard lock(m_mutex);
        return m_heard;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Heard> m_heard;
};

const std::vector<uint8_t> kSilence(5000, 0);

void WriteBlock(VAudio& audio, int32_t length = kBlock) {
    audio.Write(kSilence.data(), length);
}

} // namespace

TEST(NullAudio, PlaysAtThePcmRateWithTwoBlocksWaiting) {
    CNullAudio audio;
    Recorder recorder(audio);
    ASSERT_TRUE(audio.Open(16, 8000));

    const auto begin = Clock::now();
    std::vector<Clock::duration> returned;
    for (int i = 0; i < 6; ++i) {
        WriteBlock(audio);
        returned.push_back(Clock::now() - begin);
    }

    // The first two go in at once; each later one waits for the oldest to finish.
    EXPECT_LT(returned[1], 100ms);
    for (int i = 2; i < 6; ++i)
        EXPECT_GE(returned[static_cast<size_t>(i)], (i - 1) * kBlockTime) << "write " << i;
    EXPECT_LT(returned[5], 4 * kBlockTime + 600ms);

    // Blocks follow one another without gaps or overlaps, exactly one block's time apart.
    const auto heard = recorder.All();
    ASSERT_EQ(heard.size(), 6u);
    for (size_t i = 1; i < heard.size(); ++i)
        EXPECT_EQ(heard[i].start - heard[i - 1].start, kBlockTime) << "block " << i;
    EXPECT_LE(audio.QueuedMicros(), 2 * 240'000);
    EXPECT_GT(audio.QueuedMicros(), 0); // the last block is still waiting
}

TEST(NullAudio, BlockTimeFollowsTheFormatAndLongBlocksAreCut) {
    CNullAudio audio;
    Recorder recorder(audio);
    ASSERT_TRUE(audio.Open(16, 8000));
    WriteBlock(audio, 5000);
    EXPECT_LE(audio.QueuedMicros(), 240'000);
    EXPECT_GT(audio.QueuedMicros(), 120'000);

    ASSERT_TRUE(audio.Open(8, 8000)); // reopening drops what was queued
    EXPECT_EQ(audio.QueuedMicros(), 0);
    WriteBlock(audio, 1920);
    EXPECT_LE(audio.QueuedMicros(), 240'000);
    EXPECT_GT(audio.QueuedMicros(), 120'000);

    const auto heard = recorder.All();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].length, kBlock);
    EXPECT_EQ(heard[1].length, 1920);
}

TEST(NullAudio, QueuedTimeFallsAsTheBlocksPlay) {
    CNullAudio audio;
    ASSERT_TRUE(audio.Open(16, 8000));
    WriteBlock(audio);
    WriteBlock(audio);
    const int64_t first = audio.QueuedMicros();
    EXPECT_GT(first, 240'000);
    std::this_thread::sleep_for(50ms);
    const int64_t later = audio.QueuedMicros();
    EXPECT_LE(later, first - 50'000);
    EXPECT_GT(later, 0);
}

TEST(NullAudio, ABlockAfterSilenceStartsWhenItIsWritten) {
    CNullAudio audio;
    Recorder recorder(audio);
    ASSERT_TRUE(audio.Open(16, 64000)); // a full block lasts 30 ms
    WriteBlock(audio);
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(audio.QueuedMicros(), 0);
    const auto written = Clock::now();
    WriteBlock(audio);
    const auto heard = recorder.All();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_GE(heard[1].start, written);
}

TEST(NullAudio, WritesThatCannotPlayReturnAtOnceAndPlayNothing) {
    CNullAudio audio;
    Recorder recorder(audio);
    const auto begin = Clock::now();
    for (int i = 0; i < 4; ++i)
        WriteBlock(audio); // never opened

    EXPECT_FALSE(audio.Open(0, 8000));
    EXPECT_FALSE(audio.Open(12, 8000));
    EXPECT_FALSE(audio.Open(16, 0));
    EXPECT_FALSE(audio.Open(16, -8000));
    for (int i = 0; i < 4; ++i)
        WriteBlock(audio); // failed to open

    ASSERT_TRUE(audio.Open(16, 8000));
    audio.Write(kSilence.data(), 0);
    audio.Write(kSilence.data(), -5);
    audio.Write(nullptr, kBlock);
    EXPECT_EQ(audio.QueuedMicros(), 0);

    WriteBlock(audio);
    EXPECT_EQ(audio.Close(), 1);
    EXPECT_EQ(audio.QueuedMicros(), 0);
    for (int i = 0; i < 4; ++i)
        WriteBlock(audio); // closed
    EXPECT_EQ(audio.Close(), 1);

    EXPECT_LT(Clock::now() - begin, 100ms);
    EXPECT_EQ(recorder.All().size(), 1u);
}

TEST(NullAudio, CloseWakesAWaitingWriter) {
    CNullAudio audio;
    Recorder recorder(audio);
    ASSERT_TRUE(audio.Open(16, 1000)); // a full block lasts 1.92 s
    WriteBlock(audio);
    WriteBlock(audio);

    Clock::duration waited{};
    std::thread writer([&] {
        const auto begin = Clock::now();
        WriteBlock(audio);
        waited = Clock::now() - begin;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(audio.Close(), 1);
    writer.join();

    EXPECT_GE(waited, 40ms);  // it did wait for room
    EXPECT_LT(waited, 900ms); // and did not sit out the block
    EXPECT_EQ(recorder.All().size(), 2u);
}

TEST(NullAudio, AWriterWokenByAReopenDoesNotQueueIntoTheNewFormat) {
    CNullAudio audio;
    Recorder recorder(audio);
    ASSERT_TRUE(audio.Open(16, 1000));
    WriteBlock(audio);
    WriteBlock(audio);
    std::thread writer([&] { WriteBlock(audio); });
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(audio.Open(16, 8000));
    writer.join();
    EXPECT_EQ(recorder.All().size(), 2u);
    EXPECT_EQ(audio.QueuedMicros(), 0);
}

TEST(NullAudio, FlushDropsWhatWaitsAndAWaitingWriterGivesUpItsBlock) {
    CNullAudio audio;
    Recorder recorder(audio);
    ASSERT_TRUE(audio.Open(16, 1000)); // a full block lasts 1.92 s
    WriteBlock(audio);
    WriteBlock(audio);
    std::thread writer([&] { WriteBlock(audio); });
    std::this_thread::sleep_for(50ms);
    audio.Flush();
    writer.join();
    EXPECT_EQ(recorder.All().size(), 2u) << "the waiting block was not queued";
    EXPECT_EQ(audio.QueuedMicros(), 0);
    // Still open: the next block plays at once.
    const auto written = Clock::now();
    WriteBlock(audio, 2);
    ASSERT_EQ(recorder.All().size(), 3u);
    EXPECT_GE(recorder.All()[2].start, written);
    EXPECT_GT(audio.QueuedMicros(), 0);
}

#include "player/audio/CPulseAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

// These run against a sound server: in the test suite a private one with a null sink (see
// scripts/pulse_server.sh); they are skipped where none answers.

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t kBlock = VAudio::kBlockBytes;

class PulseAudio : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CPulseAudio::ServerAnswers())
            GTEST_SKIP() << "no sound server answers";
        ASSERT_TRUE(m_audio.Open(16, 8000));
        m_audio.SetVolume(0); // keep the test quiet on a desktop
    }

    void WriteBlock() { m_audio.Write(m_silence.data(), kBlock); }

    CPulseAudio m_audio;
    const std::vector<uint8_t> m_silence = std::vector<uint8_t>(5000, 0);
};

} // namespace

TEST_F(PulseAudio, WritesRunAtTheDevicesPace) {
    // The server takes two blocks at once; the third waits until playback has begun, which
    // some sinks take their time over.
    const auto begin = Clock::now();
    WriteBlock();
    WriteBlock();
    EXPECT_LT(Clock::now() - begin, 200ms);
    WriteBlock();
    EXPECT_GT(m_audio.QueuedMicros(), 0);

    // From then on one block goes in per 240 ms block played. Servers may round the buffer
    // up, so only a clear lack of back-pressure fails.
    const auto steady = Clock::now();
    for (int i = 0; i < 3; ++i)
        WriteBlock();
    EXPECT_GE(Clock::now() - steady, 480ms);
    EXPECT_GT(m_audio.QueuedMicros(), 0);
    EXPECT_LT(m_audio.QueuedMicros(), 2'000'000);
    EXPECT_EQ(m_audio.Close(), 1);
    EXPECT_EQ(m_audio.QueuedMicros(), 0);
}

TEST_F(PulseAudio, OddLengthsAndEmptyBlocksAreAccepted) {
    m_audio.Write(m_silence.data(), 0);
    m_audio.Write(m_silence.data(), 4999); // cut to 3840 whole samples
    m_audio.Write(m_silence.data(), 3);    // one whole sample
    m_audio.Write(nullptr, kBlock);
    WriteBlock();
    EXPECT_GT(m_audio.QueuedMicros(), 0);
}

TEST_F(PulseAudio, CloseWakesAWaitingWriterAndLaterWritesReturnAtOnce) {
    WriteBlock();
    WriteBlock(); // the server's buffer is full now
    Clock::duration waited{};
    std::thread writer([&] {
        const auto begin = Clock::now();
        for (int i = 0; i < 4; ++i)
            WriteBlock();
        waited = Clock::now() - begin;
    });
    std::this_thread::sleep_for(50ms);
    const auto closing = Clock::now();
    EXPECT_EQ(m_audio.Close(), 1);
    EXPECT_LT(Clock::now() - closing, 500ms);
    writer.join();
    EXPECT_LT(waited, 600ms);
}

TEST_F(PulseAudio, QueuedTimeFollowsTheServersPlayClockFromTheFirstBlock) {
    // Written back to back, each block ends 240 ms after the one before on the server's play
    // clock, also while the sink still plays out what it had rendered before the stream began
    // (which the first blocks wait behind): now + QueuedMicros() after each write, the moment
    // the sound written so far ends, moves on by one block each time.
    std::vector<Clock::time_point> ends;
    for (int i = 0; i < 8; ++i) {
        WriteBlock();
        ends.push_back(Clock::now() + std::chrono::microseconds(m_audio.QueuedMicros()));
    }
    for (size_t i = 1; i < ends.size(); ++i) {
        const auto step =
            std::chrono::duration_cast<std::chrono::milliseconds>(ends[i] - ends[i - 1]);
        EXPECT_GT(step, 200ms) << "block " << i;
        EXPECT_LT(step, 280ms) << "block " << i;
    }
}

TEST_F(PulseAudio, FlushEmptiesTheServerAndAWaitingWriterGivesUpItsBlock) {
    WriteBlock();
    WriteBlock();
    std::thread writer([&] { WriteBlock(); });
    std::this_thread::sleep_for(50ms);
    const auto flushing = Clock::now();
    m_audio.Flush();
    writer.join();
    EXPECT_LT(Clock::now() - flushing, 200ms) << "the writer did not wait for room";
    WriteBlock(); // plays on after a flush
    EXPECT_GT(m_audio.QueuedMicros(), 0);
    EXPECT_LT(m_audio.QueuedMicros(), 2'500'000);
}

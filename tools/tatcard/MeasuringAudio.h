#pragma once
#include "player/api/VAudio.h"

#include <chrono>
#include <functional>
#include <vector>

// An audio output that passes every block on to another one and notices, in the 16-bit
// samples it passes, the start of each click (a loud sample after at least 100 ms of quiet).
// For each it tells an observer when the click will be heard: the moment the block starts to
// play, which the inner output's queued time gives once it has taken the block, plus the
// click's place in the block.
//
// Threads: as VAudio; the observer runs on the writing (feed) thread.
class MeasuringAudio final : public VAudio {
public:
    using Clock = std::chrono::steady_clock;
    using Observer = std::function<void(Clock::time_point heard)>;
    static constexpr int kLoudLevel = 6000;

    MeasuringAudio(VAudio* inner, Observer observer)
        : m_inner(inner), m_observer(std::move(observer)) {}

    bool Open(int32_t bitsPerSample, int32_t samplesPerSecond) override;
    int Close() override { return m_inner->Close(); }
    void Write(const uint8_t* bytes, int32_t length) override;
    void SetVolume(uint32_t deviceVolume) override { m_inner->SetVolume(deviceVolume); }
    int64_t QueuedMicros() const override { return m_inner->QueuedMicros(); }
    void Flush() override { m_inner->Flush(); }

    // Sample offsets within this block (little-endian 16-bit mono) where clicks start;
    // keeps the quiet count across blocks.
    std::vector<int32_t> FindClickStarts(const uint8_t* bytes, int32_t length);

private:
    VAudio* m_inner;
    Observer m_observer;
    int32_t m_rate = 8000;
    int64_t m_quietSamples = 1 << 30; // samples since the last loud one
};

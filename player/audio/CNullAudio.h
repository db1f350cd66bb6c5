#pragma once
#include "player/api/VAudio.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// A silent output that keeps the pace of a real one: each block "plays" for
// length / (rate × bits / 8) seconds on std::chrono::steady_clock, one after another, and at
// most two blocks wait in it, as in a sound device with two buffers. Write returns at once
// while fewer than two blocks are still playing or waiting, otherwise it waits until the
// oldest has finished. It takes over when no sound server answers, and in tests and
// benchmarks.
//
// Threads: as VAudio. Open and Close on the owner's thread (Close wakes a Write waiting on
// the feeding thread, which then returns without queuing its block); Write and QueuedMicros
// on the feeding thread; Flush, SetVolume and SetPlayObserver from any thread. All state is under
// one lock; the observer is called without it.
class CNullAudio : public VAudio {
public:
    using Clock = std::chrono::steady_clock;
    // Told of every block as it is queued: its bytes (valid only during the call; the block
    // already cut to kBlockBytes) and the moment it starts to be heard. Called on the thread
    // that writes, before Write returns; it must not call Write or Close.
    using PlayObserver =
        std::function<void(const uint8_t* bytes, int32_t length, Clock::time_point startsPlaying)>;

    CNullAudio() = default;
    CNullAudio(const CNullAudio&) = delete;
    CNullAudio& operator=(const CNullAudio&) = delete;

    // 8 or 16 bits, 1 … 384,000 samples per second; false otherwise. Opening an open device
    // drops what it still had queued and starts over in the new format.
    bool Open(int32_t bitsPerSample, int32_t samplesPerSecond) override;
    // Drops what is queued; always 1.
    int Close() override;
    // Zero-length, negative-length and null blocks are skipped.
    void Write(const uint8_t* bytes, int32_t length) override;
    // Accepted and ignored: nothing is heard.
    void SetVolume(uint32_t deviceVolume) override;
    int64_t QueuedMicros() const override;
    // Drops the pending blocks; a waiting Write returns without queuing its block.
    void Flush() override;

    // Replaces the observer (an empty function removes it). A call of the old observer that
    // is already under way may still finish after this returns.
    void SetPlayObserver(PlayObserver observer);

private:
    static constexpr int kDepth = 2; // blocks that may play or wait at once

    // Forgets the blocks that have finished by now. Under m_mutex.
    void DropFinished(Clock::time_point now);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;   // Close (and Open) wake a waiting Write
    bool m_open = false;              // under m_mutex
    uint64_t m_session = 0;           // under m_mutex; each Open, Close and Flush starts a new one
    int64_t m_bytesPerSecond = 0;     // under m_mutex
    Clock::time_point m_ends[kDepth]; // under m_mutex; end times of the pending blocks
    int m_pending = 0;                // under m_mutex; m_ends[0 .. m_pending) in order
    std::shared_ptr<const PlayObserver> m_observer; // under m_mutex; copied out to call
};

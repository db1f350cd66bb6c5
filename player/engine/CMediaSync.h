#pragma once
#include "base/CSingleThread.h"
#include "base/CSync.h"
#include "player/api/VAudio.h"
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <vector>

// The media clock: a queue of audio blocks between the engine and the audio output.
//
// The engine's worker pushes each audio block as soon as it is read; the "MediaSync" feed
// thread pops them in order and writes them to the output, which blocks until the device has
// room. The number of blocks still queued is the engine's clock: before each front frame it
// waits until fewer than two are queued.
//
// Threads: PushPcm and WaitForAudio on the engine's worker; PopPcm on the feed thread; Clear,
// SetOutput, StartFeed and StopFeed on the owner's thread (SetOutput only while the feed is
// stopped). The queue is under the lock; the record count is also kept in an atomic so that
// the emptiness and WaitForAudio tests need no lock.
class CMediaSync {
public:
    static constexpr int32_t kBlockBytes = VAudio::kBlockBytes;
    // One queued block: up to kBlockBytes of PCM as read from the recording.
    struct PcmBlock {
        uint8_t data[kBlockBytes];
        int32_t length;
    };

    CMediaSync() = default;
    virtual ~CMediaSync(); // stops the feed thread
    CMediaSync(const CMediaSync&) = delete;
    CMediaSync& operator=(const CMediaSync&) = delete;

    // The output the feed thread writes to; null drops the blocks. Not owned.
    void SetOutput(VAudio* output);
    // Starts the feed thread; false when it is already running or cannot be started.
    bool StartFeed();
    void StopFeed();
    // Drops every queued block (the allocation stays).
    void Clear();
    // Queues the first min(length, kBlockBytes) bytes as one block. A negative length queues
    // an empty block.
    void PushPcm(const uint8_t* bytes, int32_t length);
    // Takes the oldest block into destination (kBlockBytes at least). False, with destination
    // and length untouched, when the queue is empty.
    bool PopPcm(uint8_t* destination, int32_t& length);
    // Returns once fewer than two blocks are queued, polling every 10 ms. With keepWaiting
    // given, it also returns as soon as that flag reads false (the engine passes its run
    // state so that a pause or a new recording never waits on the device).
    void WaitForAudio(const std::atomic<bool>* keepWaiting = nullptr) const;
    int32_t QueuedBlocks() const { return m_count.load(std::memory_order_acquire); }

private:
    bool FeedStep();

    VAudio* m_output = nullptr;
    mutable CSync m_lock;
    std::condition_variable_any m_pushed; // with m_lock: the feed waits on it while empty
    std::vector<PcmBlock> m_queue; // under m_lock; slots [0, m_used) hold blocks, oldest first
    size_t m_used = 0;             // under m_lock
    std::atomic<int32_t> m_count{0};
    PcmBlock m_staging{};              // feed thread only
    CSingleThread m_feed{"MediaSync"}; // last: stopped before the members above go
};

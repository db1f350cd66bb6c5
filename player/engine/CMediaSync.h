#pragma once
#include "SoundPlayClock.h"
#include "base/CSingleThread.h"
#include "base/CSync.h"
#include "player/api/VAudio.h"
#include "player/api/VAudioTempo.h"
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <vector>

// The media clock: a queue of audio blocks between the engine and the audio output, and the
// clock of what is heard.
//
// The engine's worker pushes each audio block as soon as it is read, with the recording time
// of its first sample; the "MediaSync" feed thread pops them in order and writes them to the
// output, which blocks until the device has room. The sound still queued bounds how far the
// engine reads ahead: before each front frame it waits until fewer than two blocks are
// queued, or until the queued blocks play for less than the engine's read-ahead (its delay
// line of pictures, SetReadAheadUs): at high sample rates a block lasts a few tens of
// milliseconds, and two of them are far less than the pictures held back. After every write the
// feed thread asks the output how much it still holds, which places the recording time heard now
// (HeardUs); the engine shows each front frame when its time is heard.
//
// Playing speed: at 100 % the blocks are written as they are; from 50 % to 200 % they go
// through the tempo change (pitch kept) when one is wired; at other speeds, or without one,
// silence of the block's played length is written instead, so the output's clock still
// runs at the speed.
//
// Threads: PushPcm, WaitForAudio and HeardUs on the engine's worker; Flush on the worker or
// the owner's thread; PopPcm on the feed thread; Clear, SetOutput, SetTempo, StartFeed and
// StopFeed on the owner's thread (SetOutput and SetTempo only while the feed is stopped);
// SetFormat, SetSpeedPercent and Hold from any thread. The queue, the generation and the play clock
// are under the lock; the record count is also kept in an atomic so that the emptiness and
// WaitForAudio tests need no lock. The output's Write runs without the lock; its Flush runs
// under it.
class CMediaSync {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int32_t kBlockBytes = VAudio::kBlockBytes;
    // The start of a block that continues the one before it.
    static constexpr int64_t kContinues = -1;
    // One queued block: up to kBlockBytes of PCM as read from the recording, and the
    // recording time of its first sample (microseconds; kContinues: right after the block
    // before).
    struct PcmBlock {
        uint8_t data[kBlockBytes];
        int32_t length;
        int64_t startUs;
    };

    CMediaSync() = default;
    virtual ~CMediaSync(); // stops the feed thread
    CMediaSync(const CMediaSync&) = delete;
    CMediaSync& operator=(const CMediaSync&) = delete;

    // The output the feed thread writes to; null drops the blocks. Not owned.
    void SetOutput(VAudio* output);
    // The tempo change for speeds of 50 … 200 % other than 100; null plays them muted. Not
    // owned.
    void SetTempo(VAudioTempo* tempo) { m_tempo = tempo; }
    // The blocks' sample format: 8 or 16 bits, mono, samplesPerSecond > 0.
    void SetFormat(int32_t bitsPerSample, int32_t samplesPerSecond);
    // Playing speed in percent (25 … 800, clamped); applies from the next block fed.
    void SetSpeedPercent(int32_t percent);
    int32_t SpeedPercent() const { return m_speedPercent.load(std::memory_order_acquire); }
    // While held, the feed thread writes nothing and the blocks wait in the queue: the engine
    // holds the sound while it fills its delay line, so that sound and pictures start together.
    void Hold(bool held);
    // Starts the feed thread; false when it is already running or cannot be started.
    bool StartFeed();
    void StopFeed();
    // Drops every queued block (the allocation stays).
    void Clear();
    // Drops every queued block and the output's unheard sound, and forgets what was heard:
    // the sound stops at once. A block the feed thread is writing meanwhile is dropped too.
    void Flush();
    // Queues the first min(length, kBlockBytes) bytes as one block whose first sample is
    // recording time startUs (kContinues: right after the previous block). A negative length
    // queues an empty block.
    void PushPcm(const uint8_t* bytes, int32_t length, int64_t startUs = kContinues);
    // Takes the oldest block into destination (kBlockBytes at least). False, with destination
    // and length untouched, when the queue is empty.
    bool PopPcm(uint8_t* destination, int32_t& length);
    // How much recording time (microseconds) the engine holds between what it reads and what
    // is heard; 0 (the default): none beyond the two blocks.
    void SetReadAheadUs(int64_t microseconds);
    // Returns once fewer than two blocks are queued (below 100 %, fewer than 2 × 100 / speed:
    // a slow block plays for long, and the engine must be able to read as far ahead in the
    // recording), or once the queued blocks hold less recording time than the read-ahead:
    // woken when the feed takes one, and looking again at least every 10 ms.
    // With keepWaiting given, it also returns once that flag reads false (the engine passes
    // its run state so that a pause or a new recording never waits on the device).
    void WaitForAudio(const std::atomic<bool>* keepWaiting = nullptr) const;
    // The same, returning once keepWaiting() is false.
    void WaitForAudio(const std::function<bool()>& keepWaiting) const;
    int32_t QueuedBlocks() const { return m_count.load(std::memory_order_acquire); }
    // The recording time (microseconds) heard at `now`; false while nothing written since the
    // last Flush is being heard (none written yet, or the sound ran out).
    bool HeardUs(Clock::time_point now, int64_t& recordingUs) const;

private:
    struct Format {
        int32_t sampleBytes;
        int32_t rate;
    };
    bool FeedStep();
    bool PopBlock(PcmBlock& block, uint64_t& generation);
    bool TakeOldest(uint8_t* destination, int32_t& length, int64_t& startUs, uint64_t& generation);
    void FeedBlock(const PcmBlock& block, uint64_t generation);
    // Writes bytes standing for recording time from recordingUs at `factor` recording
    // microseconds per output microsecond; false when a Flush came meanwhile.
    bool WritePiece(const uint8_t* bytes, int32_t length, int64_t recordingUs, double factor,
                    uint64_t generation);
    bool WriteStretched(const PcmBlock& block, int64_t startUs, int32_t speed, uint64_t generation);
    void WriteSilence(int64_t recordingUs, int64_t playedUs, double factor, uint64_t generation);
    Format CurrentFormat() const;
    // The queued blocks WaitForAudio waits below.
    size_t BlocksAhead() const;
    // Whether the queue is short enough for the engine to read on.
    bool ShortEnough(size_t ahead) const;
    int64_t BytesToUs(int64_t bytes) const;

    VAudio* m_output = nullptr;
    VAudioTempo* m_tempo = nullptr;
    std::atomic<int32_t> m_bits{16};
    std::atomic<int32_t> m_rate{8000};
    std::atomic<int32_t> m_speedPercent{100};
    std::atomic<bool> m_held{false};
    mutable CSync m_lock;
    bool m_feedStopping = false;            // under m_lock: StopFeed is waiting for the feed to end
    static constexpr int kIdleWaitMs = 250; // the feed's longest sleep with nothing queued
    std::condition_variable_any m_pushed;   // with m_lock: the feed waits on it while empty
    mutable std::condition_variable_any m_popped; // with m_lock: WaitForAudio waits on it
    std::vector<PcmBlock> m_queue; // under m_lock; slots [0, m_used) hold blocks, oldest first
    size_t m_used = 0;             // under m_lock
    uint64_t m_generation = 0;     // under m_lock; each Flush starts a new one
    SoundPlayClock m_clock;        // under m_lock
    std::atomic<int32_t> m_count{0};
    std::atomic<int64_t> m_queuedBytes{0}; // the queued blocks' bytes, kept with m_count
    std::atomic<int64_t> m_readAheadUs{0};

    // Feed thread only.
    PcmBlock m_staging{};
    uint64_t m_feedGeneration = 0;
    int64_t m_nextStartUs = 0;  // recording time right after the last block fed
    int32_t m_stretchSpeed = 0; // the speed the tempo change was begun at; 0: none begun
    int64_t m_stretchStartUs = 0;
    int64_t m_stretchOutSamples = 0;
    std::vector<uint8_t> m_stretched;
    std::vector<uint8_t> m_silence;

    CSingleThread m_feed{"MediaSync"}; // last: stopped before the members above go
};

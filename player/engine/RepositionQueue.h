#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

// Seeks and steps on their way from the owner's thread to the engine's worker, as one request
// record. Requests that come faster than the worker takes them are merged into it: a seek
// replaces whatever waited, steps in time and in frames add up on top of it, so that a burst
// of key presses moves as far as all of them together and a dragged slider lands where it was
// let go.
//
// Units: microseconds of recording time. Threads: Seek, Step, StepFrames and Pending on any
// thread; Take and Clear on the worker. The record is under a lock; Pending reads an atomic.
class RepositionQueue {
public:
    struct Request {
        bool absolute = false;     // from targetUs; else from the picture on screen
        int64_t targetUs = 0;      // with absolute: the time asked for
        int64_t deltaUs = 0;       // steps in time, added to the start
        int32_t frames = 0;        // frame steps, added after the steps in time
        bool keyFrameOnly = false; // a scrub: the key frame at or before the target is shown

        // Where the request lands: from the seek's time, or else from `fromUs` (the picture on
        // screen, or the target of a reposition still under way), with frames `periodUs` apart.
        int64_t TargetUs(int64_t fromUs, int64_t periodUs) const;
    };

    void Seek(int64_t timeUs, bool keyFrameOnly);
    void Step(int64_t deltaUs);
    void StepFrames(int32_t frames);
    bool Pending() const { return m_pending.load(std::memory_order_acquire); }
    // The merged request, and the record emptied; nothing when none waits.
    std::optional<Request> Take();
    void Clear();

private:
    mutable std::mutex m_mutex;
    Request m_request;                  // under m_mutex
    std::atomic<bool> m_pending{false}; // written under m_mutex
};

#pragma once

#include "base/CSingleThread.h"
#include "player/source/CTripParser.h"
#include "player/source/TripSegmentOpen.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The trip parser's read-ahead: a thread of its own ("TripReadAhead") that opens the next
// segment of a drive and reads its first packets (OpenFirstSegment) while the current one
// plays, and closes the inner parsers the trip parser is done with, so that neither an open
// nor a close stalls the caller's reads.
//
// One preparation is asked for at a time (Ask); Take hands it over, waiting for it when it is
// not ready yet (it then cuts the reading of the first packets short). Cancel drops it; a
// preparation under way when it is cancelled ends after the packet in hand (or after the
// inner Open it is in) and is closed on the thread. Retire takes an inner parser to close: on
// the thread while it holds fewer than two others (to close, being prepared or prepared),
// else on the caller at once. So besides the trip parser's current inner parser at most two
// are alive: the next one and one being closed, or two being closed; CloseQueued, before the
// caller opens one of its own, leaves only the one the thread has in hand.
//
// Threads: Start, Stop, Ask, Take, Cancel, Retire, CloseQueued and WaitIdle on the trip
// parser's caller thread, one at a time; the thread runs the factory and the inner parsers it
// prepares or closes. An OpenedSegment belongs to the thread until Take returns it; the job,
// the result, the closing list and the counts are under the lock; the hurry flag and the
// generation (bumped by Cancel, read by the preparation between packets) are atomics.
// Owns the thread, its read buffer and the segments it holds; the factory stays the trip
// parser's (referenced, it outlives this).
class TripReadAhead {
public:
    TripReadAhead(const CTripParser::Factory& factory, TripReadLimits limits);
    ~TripReadAhead(); // Stop
    TripReadAhead(const TripReadAhead&) = delete;
    TripReadAhead& operator=(const TripReadAhead&) = delete;

    // Starts the thread; true when it runs (also when it already did).
    bool Start();
    // Cancels the preparation, closes what the thread holds and ends it.
    void Stop();

    // Prepares the first of segments[from], segments[from + 1], … that opens. Nothing when
    // that preparation is already asked for; another one asked before is cancelled (also when
    // `from` is past the end or the thread does not run: nothing is prepared then).
    void Ask(const std::vector<TripSegment>& segments, size_t from);
    // The preparation of `from`, once it is done (OpenFirstSegment's answer: index -1 when
    // none opened); null when that was not asked for.
    std::unique_ptr<OpenedSegment> Take(int from);
    void Cancel();
    // Closes an inner parser (on the thread, or here; see above). Null: nothing.
    void Retire(std::unique_ptr<VMediaParser> parser);
    // Closes here, at once, the inner parsers still waiting for the thread to close them:
    // before the caller opens one of its own, so that the bound above holds with it.
    void CloseQueued();
    // Waits until the thread prepares and closes nothing.
    void WaitIdle();

private:
    struct Job {
        std::vector<TripSegment> segments;
        size_t from = 0;
        uint64_t generation = 0;
    };
    bool Step();
    // The inner parsers the thread holds: those to close, the one it prepares, the one
    // prepared. Locked.
    int OthersAlive() const;
    static constexpr int kMostOthers = 2;

    const CTripParser::Factory& m_factory;
    const TripReadLimits m_limits;

    // Caller thread only.
    bool m_started = false;
    int m_asked = -1; // the index asked for, not yet taken or cancelled

    std::mutex m_mutex;
    std::condition_variable m_wake;  // the thread: a job, something to close, the end
    std::condition_variable m_ready; // the caller: a result, the thread idle
    // Under m_mutex.
    bool m_quit = false;
    bool m_pending = false; // m_job waits for the thread
    Job m_job;
    bool m_busy = false; // the thread prepares a job (or closes its abandoned one)
    std::unique_ptr<OpenedSegment> m_result; // the job's answer, for Take
    std::vector<std::unique_ptr<VMediaParser>> m_closing;
    int m_closingCount = 0; // in m_closing, and the one the thread closes now

    std::atomic<uint64_t> m_generation{0};
    std::atomic<bool> m_hurry{false};

    std::vector<uint8_t> m_buffer; // the thread's read buffer

    CSingleThread m_thread{"TripReadAhead"}; // last: stopped before the members above go
};

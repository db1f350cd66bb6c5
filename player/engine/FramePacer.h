#pragma once
#include <chrono>
#include <cstdint>
#include <deque>

class DiagLog;

// Spreads front frames at the frame period.
//
// Each frame is due one period after the one before, on a schedule kept in microseconds, and
// the pacer sleeps until it is due. A frame that comes late (the audio wait held it, the
// machine was busy) is shown at once and the following ones catch up with the schedule; after
// a hold of more than kResyncMs (a seek, a pause, the first frame) the schedule starts again
// from now. The engine's audio wait still sets the long-run speed: the schedule only keeps the
// frames evenly apart between its holds.
//
// Per frame it writes the line "[%02d] dif %2d, mean %2d : %2d msec\n" to the log when it is
// on: the channel, the interval since the previous pass (clamped to 0 … 60 ms; 60 for the
// first pass), the mean of the last 24 such intervals and the milliseconds slept.
//
// One pacer serves every recording of a player's life. Threads: the engine's worker only.
class FramePacer {
public:
    static constexpr size_t kHistory = 24;
    static constexpr int32_t kMaxIntervalMs = 60;
    static constexpr int32_t kResyncMs = 100;

    explicit FramePacer(const DiagLog* log = nullptr) : m_log(log) {}
    void SetDiagLog(const DiagLog* log) { m_log = log; }

    // How long to wait at `now` for a frame of a stream at framesPerSecond, and advances the
    // schedule by one period.
    std::chrono::microseconds NextDue(std::chrono::steady_clock::time_point now,
                                      int32_t framesPerSecond);
    // Adds an interval (milliseconds, clamped to 0 … kMaxIntervalMs) to the last kHistory and
    // returns their mean, as the log line shows them.
    int32_t RecordInterval(int32_t intervalMs);
    // Measures, waits and marks the pass; returns the milliseconds it slept.
    int32_t Pace(int channel, int32_t framesPerSecond);

private:
    const DiagLog* m_log;
    std::deque<int32_t> m_history;
    int32_t m_lastInterval = 0;
    int32_t m_lastMean = 0;
    std::chrono::steady_clock::time_point m_lastPass{};
    std::chrono::steady_clock::time_point m_due{}; // when the next frame is due
};

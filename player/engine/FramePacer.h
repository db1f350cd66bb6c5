#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

class DiagLog;

// Spreads front frames at the frame period.
//
// Each frame is due one period after the one before, on a schedule kept in microseconds, and
// the pacer waits until it is due. A frame that comes late (the audio wait held it, the
// machine was busy) is shown at once and the following ones catch up with the schedule; after
// a hold of more than kResyncMs (a seek, a pause, the first frame) the schedule starts again
// from now. When the sound clock says when a frame is heard, that moment is the frame's due
// time and the schedule goes on from it, so the frames follow the sound; the schedule alone
// only carries them where the sound says nothing (no sound, or it ran out).
//
// Per frame it writes the line "[%02d] dif %2d, mean %2d : %2d msec\n" to the log when it is
// on: the channel, the interval since the previous pass (clamped to 0 … 60 ms; 60 for the
// first pass), the mean of the last 24 such intervals and the milliseconds to wait.
//
// One pacer serves every recording of a player's life. Threads: the engine's worker only.
class FramePacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kHistory = 24;
    static constexpr int32_t kMaxIntervalMs = 60;
    static constexpr int32_t kResyncMs = 100;

    explicit FramePacer(const DiagLog* log = nullptr) : m_log(log) {}
    void SetDiagLog(const DiagLog* log) { m_log = log; }

    // How long to wait at `now` for the next frame, frames being `period` apart, and advances
    // the schedule by one period.
    std::chrono::microseconds NextDue(Clock::time_point now, std::chrono::microseconds period);
    // The same for a stream at framesPerSecond.
    std::chrono::microseconds NextDue(Clock::time_point now, int32_t framesPerSecond);
    // Adds an interval (milliseconds, clamped to 0 … kMaxIntervalMs) to the last kHistory and
    // returns their mean, as the log line shows them.
    int32_t RecordInterval(int32_t intervalMs);
    // When the next frame is due: at soundDue when the sound clock gives it (the schedule
    // goes on from there), else on the schedule. Measures the interval since the last pass
    // and writes the log line.
    Clock::time_point Plan(int channel, Clock::time_point now, std::chrono::microseconds period,
                           std::optional<Clock::time_point> soundDue);
    // The frame was passed on at `when`.
    void Passed(Clock::time_point when) { m_lastPass = when; }
    // The next frame starts a new schedule (after a seek or a pause).
    void Restart() { m_due = {}; }
    // Plans, waits and marks the pass for a stream at framesPerSecond; returns the
    // milliseconds it slept.
    int32_t Pace(int channel, int32_t framesPerSecond);

private:
    const DiagLog* m_log;
    std::deque<int32_t> m_history;
    int32_t m_lastInterval = 0;
    int32_t m_lastMean = 0;
    Clock::time_point m_lastPass{};
    Clock::time_point m_due{}; // when the next frame is due
};

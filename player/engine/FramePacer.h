#pragma once
#include <chrono>
#include <cstdint>
#include <deque>

class DiagLog;

// Spreads front frames at the frame period.
//
// Steady (the default): each frame is due one period after the one before, on a schedule kept
// in microseconds, and the pacer sleeps until it is due. A frame that comes late (the audio
// wait held it, the machine was busy) is shown at once and the following ones catch up with
// the schedule; after a hold of more than kResyncMs (a seek, a pause, the first frame) the
// schedule starts again from now. The engine's audio wait still sets the long-run speed: the
// schedule only keeps the frames evenly apart between its holds.
//
// MeanCompensated: the earlier rule, kept for comparison: before each frame, average the last
// 24 intervals since the previous pass (clamped to 0 … 60 ms) and sleep the frame period less
// that mean less 2 ms (only when that is 1 … 39 ms). Because the intervals include the audio
// wait, a long hold shortens the following frames, which makes the next hold longer: the
// frames come in bursts (about six at 24 ms, then a 60–90 ms hold, per 240 ms audio block).
//
// Both write the line "[%02d] dif %2d, mean %2d : %2d msec\n" per frame to the log when it is
// on (interval since the previous pass, the mean of the last 24, the milliseconds slept).
// One pacer serves every recording of a player's life. Threads: the engine's worker only.
class FramePacer {
public:
    enum class Mode { Steady, MeanCompensated };
    static constexpr size_t kHistory = 24;
    static constexpr int32_t kMaxIntervalMs = 60;
    static constexpr int32_t kResyncMs = 100;

    explicit FramePacer(const DiagLog* log = nullptr) : m_log(log) {}
    void SetDiagLog(const DiagLog* log) { m_log = log; }
    void SetMode(Mode mode) { m_mode = mode; }

    // MeanCompensated: milliseconds to sleep before the next frame of a stream at
    // framesPerSecond (> 0), after recording the interval since the previous pass.
    int32_t NextWait(int32_t intervalMs, int32_t framesPerSecond);
    // Steady: how long to wait at `now` for a frame of a stream at framesPerSecond, and
    // advances the schedule by one period.
    std::chrono::microseconds NextDue(std::chrono::steady_clock::time_point now,
                                      int32_t framesPerSecond);
    // Measures, waits and marks the pass; returns the milliseconds it slept.
    int32_t Pace(int channel, int32_t framesPerSecond);

private:
    int32_t Record(int32_t intervalMs);

    const DiagLog* m_log;
    Mode m_mode = Mode::Steady;
    std::deque<int32_t> m_history;
    int32_t m_lastInterval = 0;
    int32_t m_lastMean = 0;
    std::chrono::steady_clock::time_point m_lastPass{};
    std::chrono::steady_clock::time_point m_due{}; // Steady: when the next frame is due
};

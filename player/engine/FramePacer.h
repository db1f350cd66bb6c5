#pragma once
#include <chrono>
#include <cstdint>
#include <deque>

class DiagLog;

// Spreads front frames at the frame period. Before each frame it measures the time since its
// previous pass, averages the last 24 such intervals and sleeps the frame period less that
// mean less 2 ms, so that over the long run the audio wait, not the pacer, sets the speed.
//
// One pacer serves every recording of a player's life. Threads: the engine's worker only.
class FramePacer {
public:
    static constexpr size_t kHistory = 24;
    static constexpr int32_t kMaxIntervalMs = 60;

    // "[%02d] dif %2d, mean %2d : %2d msec\n" per frame goes to the log when it is on.
    explicit FramePacer(const DiagLog* log = nullptr) : m_log(log) {}
    void SetDiagLog(const DiagLog* log) { m_log = log; }

    // Milliseconds to sleep before the next frame of a stream at framesPerSecond (> 0), after
    // recording the interval since the previous pass (clamped to 0 … 60 ms). 0 when the wait
    // falls outside 1 … 39 ms.
    int32_t NextWait(int32_t intervalMs, int32_t framesPerSecond);
    // Measures, waits and marks the pass; returns the wait it slept.
    int32_t Pace(int channel, int32_t framesPerSecond);

private:
    const DiagLog* m_log;
    std::deque<int32_t> m_history;
    int32_t m_lastInterval = 0;
    int32_t m_lastMean = 0;
    std::chrono::steady_clock::time_point m_lastPass{};
};

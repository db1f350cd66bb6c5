#include "FramePacer.h"

#include "DiagLog.h"

#include <algorithm>
#include <numeric>
#include <thread>

int32_t FramePacer::NextWait(int32_t intervalMs, int32_t framesPerSecond) {
    m_lastInterval = std::clamp(intervalMs, 0, kMaxIntervalMs);
    m_history.push_back(m_lastInterval);
    if (m_history.size() > kHistory)
        m_history.pop_front();
    m_lastMean = std::accumulate(m_history.begin(), m_history.end(), 0) /
                 static_cast<int32_t>(m_history.size());
    const int32_t wait = 1000 / std::max(framesPerSecond, 1) - m_lastMean - 2;
    return (wait >= 1 && wait <= 39) ? wait : 0;
}

int32_t FramePacer::Pace(int channel, int32_t framesPerSecond) {
    const auto now = std::chrono::steady_clock::now();
    int64_t interval = kMaxIntervalMs;
    if (m_lastPass.time_since_epoch().count() != 0)
        interval = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastPass).count();
    const int32_t wait = NextWait(
        static_cast<int32_t>(std::clamp<int64_t>(interval, 0, kMaxIntervalMs)), framesPerSecond);
    TATV_DIAG(m_log, "[%02d] dif %2d, mean %2d : %2d msec\n", channel, m_lastInterval, m_lastMean,
              wait);
    if (wait > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    m_lastPass = std::chrono::steady_clock::now();
    return wait;
}

#include "FramePacer.h"

#include "base/DiagLog.h"

#include <algorithm>
#include <numeric>
#include <thread>

int32_t FramePacer::RecordInterval(int32_t intervalMs) {
    m_lastInterval = std::clamp(intervalMs, 0, kMaxIntervalMs);
    m_history.push_back(m_lastInterval);
    if (m_history.size() > kHistory)
        m_history.pop_front();
    m_lastMean = std::accumulate(m_history.begin(), m_history.end(), 0) /
                 static_cast<int32_t>(m_history.size());
    return m_lastMean;
}

std::chrono::microseconds FramePacer::NextDue(Clock::time_point now,
                                              std::chrono::microseconds period) {
    period = std::max(period, std::chrono::microseconds(1));
    const bool unscheduled = m_due.time_since_epoch().count() == 0;
    if (unscheduled || now - m_due > std::chrono::milliseconds(kResyncMs) || m_due - now > period)
        m_due = now;
    const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(
        std::max(m_due - now, Clock::duration::zero()));
    m_due += period;
    return wait;
}

std::chrono::microseconds FramePacer::NextDue(Clock::time_point now, int32_t framesPerSecond) {
    return NextDue(now, std::chrono::microseconds(1000000 / std::max(framesPerSecond, 1)));
}

FramePacer::Clock::time_point FramePacer::Plan(int channel, Clock::time_point now,
                                               std::chrono::microseconds period,
                                               std::optional<Clock::time_point> soundDue) {
    int64_t interval = kMaxIntervalMs;
    if (m_lastPass.time_since_epoch().count() != 0)
        interval = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastPass).count();
    RecordInterval(static_cast<int32_t>(std::clamp<int64_t>(interval, 0, kMaxIntervalMs)));
    Clock::time_point due;
    if (soundDue) {
        due = *soundDue;
        m_due = std::max(due, now) + period;
    } else {
        due = now + NextDue(now, period);
    }
    const auto waitMs = static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::max(due - now, Clock::duration::zero()))
                                                 .count());
    TATV_DIAG(m_log, "[%02d] dif %2d, mean %2d : %2d msec\n", channel, m_lastInterval, m_lastMean,
              waitMs);
    return due;
}

int32_t FramePacer::Pace(int channel, int32_t framesPerSecond) {
    const Clock::time_point now = Clock::now();
    const Clock::time_point due =
        Plan(channel, now, std::chrono::microseconds(1000000 / std::max(framesPerSecond, 1)),
             std::nullopt);
    if (due > now)
        std::this_thread::sleep_until(due);
    Passed(Clock::now());
    return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::max(due - now, Clock::duration::zero()))
                                    .count());
}

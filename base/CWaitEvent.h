#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// An auto-reset event: SetEvent wakes one waiter (or the next thread to wait), and a
// successful wait clears the event again. Safe to use from any thread.
class CWaitEvent {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    CWaitEvent() = default;
    CWaitEvent(const CWaitEvent&) = delete;
    CWaitEvent& operator=(const CWaitEvent&) = delete;

    void SetEvent();
    // Clears a signal that nobody has consumed yet.
    void ResetEvent();
    // Waits until the event is set, at most timeoutMs milliseconds (kInfinite: no limit).
    // Returns true when the event was set (and consumes it), false on time-out.
    bool WaitEvent(uint32_t timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_set = false;
};

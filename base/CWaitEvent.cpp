#include "CWaitEvent.h"

#include <chrono>

void CWaitEvent::SetEvent() {
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
    }
    m_cond.notify_one();
}

void CWaitEvent::ResetEvent() {
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool CWaitEvent::WaitEvent(uint32_t timeoutMs) {
    std::unique_lock lock(m_mutex);
    if (timeoutMs == kInfinite) {
        m_cond.wait(lock, [this] { return m_set; });
    } else if (!m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return m_set; })) {
        return false;
    }
    m_set = false;
    return true;
}

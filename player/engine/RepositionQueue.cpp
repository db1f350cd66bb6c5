#include "RepositionQueue.h"

int64_t RepositionQueue::Request::TargetUs(int64_t fromUs, int64_t periodUs) const {
    return (absolute ? targetUs : fromUs) + deltaUs + int64_t{frames} * periodUs;
}

void RepositionQueue::Seek(int64_t timeUs, bool keyFrameOnly) {
    std::lock_guard lock(m_mutex);
    m_request = Request{true, timeUs, 0, 0, keyFrameOnly};
    m_pending.store(true, std::memory_order_release);
}

void RepositionQueue::Step(int64_t deltaUs) {
    std::lock_guard lock(m_mutex);
    m_request.deltaUs += deltaUs;
    m_request.keyFrameOnly = false;
    m_pending.store(true, std::memory_order_release);
}

void RepositionQueue::StepFrames(int32_t frames) {
    std::lock_guard lock(m_mutex);
    m_request.frames += frames;
    m_request.keyFrameOnly = false;
    m_pending.store(true, std::memory_order_release);
}

std::optional<RepositionQueue::Request> RepositionQueue::Take() {
    std::lock_guard lock(m_mutex);
    if (!m_pending.load(std::memory_order_acquire))
        return std::nullopt;
    const Request taken = m_request;
    m_request = Request{};
    m_pending.store(false, std::memory_order_release);
    return taken;
}

void RepositionQueue::Clear() {
    std::lock_guard lock(m_mutex);
    m_request = Request{};
    m_pending.store(false, std::memory_order_release);
}

#include "CMediaSync.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

CMediaSync::~CMediaSync() {
    StopFeed();
}

void CMediaSync::SetOutput(VAudio* output) {
    m_output = output;
}

bool CMediaSync::StartFeed() {
    return m_feed.BeginThread([this] { return FeedStep(); });
}

void CMediaSync::StopFeed() {
    m_feed.StopThread();
}

void CMediaSync::Clear() {
    std::lock_guard<CSync> hold(m_lock);
    m_used = 0;
    m_count.store(0, std::memory_order_release);
}

void CMediaSync::PushPcm(const uint8_t* bytes, int32_t length) {
    const int32_t kept = std::clamp(length, 0, kBlockBytes);
    std::lock_guard<CSync> hold(m_lock);
    if (m_used == m_queue.size()) {
        // Grows to twice (count + 1) records, so a steady two-block queue never allocates.
        m_queue.resize((m_used + 1) * 2);
    }
    PcmBlock& block = m_queue[m_used];
    block.length = kept;
    if (kept > 0)
        std::memcpy(block.data, bytes, static_cast<size_t>(kept));
    ++m_used;
    m_count.store(static_cast<int32_t>(m_used), std::memory_order_release);
    m_pushed.notify_one();
}

bool CMediaSync::PopPcm(uint8_t* destination, int32_t& length) {
    if (m_count.load(std::memory_order_acquire) == 0)
        return false;
    std::lock_guard<CSync> hold(m_lock);
    if (m_used == 0) // emptied by Clear since the test above
        return false;
    const PcmBlock& oldest = m_queue[0];
    length = oldest.length;
    if (oldest.length > 0)
        std::memcpy(destination, oldest.data, static_cast<size_t>(oldest.length));
    // The engine keeps about two blocks queued, so moving the rest down is cheap.
    std::move(m_queue.begin() + 1, m_queue.begin() + static_cast<std::ptrdiff_t>(m_used),
              m_queue.begin());
    --m_used;
    m_count.store(static_cast<int32_t>(m_used), std::memory_order_release);
    return true;
}

void CMediaSync::WaitForAudio(const std::atomic<bool>* keepWaiting) const {
    while (m_count.load(std::memory_order_acquire) >= 2) {
        if (keepWaiting != nullptr && !keepWaiting->load(std::memory_order_acquire))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool CMediaSync::FeedStep() {
    if (PopPcm(m_staging.data, m_staging.length)) {
        // The output blocks until the device has room; the queue lock is not held here, so
        // the engine can keep pushing meanwhile.
        if (m_output != nullptr)
            m_output->Write(m_staging.data, m_staging.length);
        return true;
    }
    // Nothing queued: sleep until the engine pushes a block (or a moment passes, so that a
    // stop request is seen).
    std::unique_lock<CSync> hold(m_lock);
    m_pushed.wait_for(hold, std::chrono::milliseconds(10), [this] { return m_used > 0; });
    return true;
}

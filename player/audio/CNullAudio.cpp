#include "CNullAudio.h"

#include <algorithm>

namespace {

constexpr int32_t kMaxRate = 384000;

} // namespace

bool CNullAudio::Open(int32_t bitsPerSample, int32_t samplesPerSecond) {
    if ((bitsPerSample != 8 && bitsPerSample != 16) || samplesPerSecond <= 0 ||
        samplesPerSecond > kMaxRate)
        return false;
    std::lock_guard lock(m_mutex);
    m_bytesPerSecond = int64_t{samplesPerSecond} * (bitsPerSample / 8);
    m_pending = 0;
    m_open = true;
    ++m_session;
    m_wake.notify_all();
    return true;
}

int CNullAudio::Close() {
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_pending = 0;
    ++m_session;
    m_wake.notify_all();
    return 1;
}

void CNullAudio::Write(const uint8_t* bytes, int32_t length) {
    if (bytes == nullptr || length <= 0)
        return;
    length = std::min(length, kBlockBytes);

    std::shared_ptr<const PlayObserver> observer;
    Clock::time_point start;
    {
        std::unique_lock lock(m_mutex);
        if (!m_open)
            return;
        const uint64_t session = m_session;
        DropFinished(Clock::now());
        while (m_pending == kDepth) {
            m_wake.wait_until(lock, m_ends[0]);
            if (m_session != session)
                return; // closed or reopened while we waited
            DropFinished(Clock::now());
        }
        const Clock::time_point now = Clock::now();
        start = m_pending > 0 ? std::max(now, m_ends[m_pending - 1]) : now;
        const auto playing =
            std::chrono::nanoseconds(int64_t{length} * 1'000'000'000 / m_bytesPerSecond);
        m_ends[m_pending++] = start + std::chrono::duration_cast<Clock::duration>(playing);
        observer = m_observer;
    }
    if (observer && *observer)
        (*observer)(bytes, length, start);
}

void CNullAudio::Flush() {
    std::lock_guard lock(m_mutex);
    m_pending = 0;
    ++m_session;
    m_wake.notify_all();
}

void CNullAudio::SetVolume(uint32_t /*deviceVolume*/) {}

int64_t CNullAudio::QueuedMicros() const {
    std::lock_guard lock(m_mutex);
    if (!m_open || m_pending == 0)
        return 0;
    const auto left = m_ends[m_pending - 1] - Clock::now();
    return std::max<int64_t>(0,
                             std::chrono::duration_cast<std::chrono::microseconds>(left).count());
}

void CNullAudio::SetPlayObserver(PlayObserver observer) {
    auto shared = std::make_shared<const PlayObserver>(std::move(observer));
    std::lock_guard lock(m_mutex);
    m_observer = std::move(shared);
}

void CNullAudio::DropFinished(Clock::time_point now) {
    int finished = 0;
    while (finished < m_pending && m_ends[finished] <= now)
        ++finished;
    std::copy(m_ends + finished, m_ends + m_pending, m_ends);
    m_pending -= finished;
}

#include "CThreadQueue.h"

#include "DiagLog.h"

#include <algorithm>
#include <cstring>
#include <mutex>

CThreadQueue::CThreadQueue() = default;

CThreadQueue::~CThreadQueue() = default;

bool CThreadQueue::Init(int32_t capacity) {
    m_capacity = std::max<int32_t>(capacity, 0);
    m_store.Resize(static_cast<size_t>(m_capacity));
    m_head = 0;
    m_held = 0;
    m_records.assign(100, Record{0, 0});
    m_first = 0;
    m_count = 0;
    return true;
}

void CThreadQueue::Clear() {
    {
        std::lock_guard lock(m_lock);
        m_head = 0;
        m_held = 0;
        m_first = 0;
        m_count = 0;
    }
    m_changed.notify_all();
}

bool CThreadQueue::WaitForRecord(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, timeout, [this] { return m_count > 0; });
}

bool CThreadQueue::WaitForRoom(int32_t length, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    return m_changed.wait_for(lock, timeout, [this, length] {
        return static_cast<int64_t>(m_held) + length < m_capacity;
    });
}

bool CThreadQueue::Push(const uint8_t* payload, int32_t length, int32_t tag) {
    if (length < 0 || (length > 0 && payload == nullptr))
        return false;
    std::unique_lock lock(m_lock);
    if (static_cast<int64_t>(m_held) + length >= m_capacity)
        return false;
    if (m_count == m_records.size()) {
        // Unroll the ring into a larger array, oldest first.
        const size_t count = m_count.load();
        std::vector<Record> grown(2 * (count + 1));
        for (size_t i = 0; i < count; ++i)
            grown[i] = m_records[(m_first + i) % m_records.size()];
        m_records.swap(grown);
        m_first = 0;
    }
    CopyIn(payload, length);
    m_records[(m_first + m_count.load()) % m_records.size()] = Record{length, tag};
    ++m_count;
    lock.unlock();
    m_changed.notify_all();
    return true;
}

bool CThreadQueue::Pop(uint8_t* dest, int32_t destCapacity, int32_t& outLength, int32_t& outTag) {
    std::unique_lock lock(m_lock);
    if (m_count == 0) {
        TATV_DIAG(m_diag, "[CThreadQueue] Pop Empty\n");
        return false;
    }
    const Record record = m_records[m_first];
    if (record.length > destCapacity || (record.length > 0 && dest == nullptr)) {
        TATV_DIAG(m_diag, "[CThreadQueue] Pop Too Large %d > %d\n", record.length, destCapacity);
        outLength = record.length;
        return false;
    }
    CopyOut(dest, record.length);
    m_first = (m_first + 1) % m_records.size();
    --m_count;
    if (m_count == 0) {
        m_first = 0;
        m_head = 0;
    }
    outLength = record.length;
    outTag = record.tag;
    lock.unlock();
    m_changed.notify_all();
    return true;
}

int32_t CThreadQueue::BytesHeld() {
    std::lock_guard lock(m_lock);
    return static_cast<int32_t>(m_held);
}

void CThreadQueue::CopyIn(const uint8_t* src, int32_t length) {
    const size_t n = static_cast<size_t>(length);
    const size_t ring = m_store.size();
    if (n == 0)
        return;
    const size_t tail = (m_head + m_held) % ring;
    const size_t first = std::min(n, ring - tail);
    std::memcpy(m_store.data() + tail, src, first);
    std::memcpy(m_store.data(), src + first, n - first);
    m_held += n;
}

void CThreadQueue::CopyOut(uint8_t* dest, int32_t length) {
    const size_t n = static_cast<size_t>(length);
    const size_t ring = m_store.size();
    if (n == 0)
        return;
    const size_t first = std::min(n, ring - m_head);
    std::memcpy(dest, m_store.data() + m_head, first);
    std::memcpy(dest + first, m_store.data(), n - first);
    m_head = (m_head + n) % ring;
    m_held -= n;
}

#include "CThreadQueue.h"

#include "DiagLog.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr std::chrono::microseconds kSpinBeforeSleep{50};

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

} // namespace

CThreadQueue::CThreadQueue() = default;

CThreadQueue::~CThreadQueue() = default;

void CThreadQueue::Init(int32_t capacity) {
    m_capacity = std::max<int32_t>(capacity, 0);
    m_store.Resize(static_cast<size_t>(m_capacity), AlignedBuffer::Fill::kScratch);
    m_head = 0;
    m_held = 0;
    m_records.assign(100, Record{0, 0});
    m_first = 0;
    m_count = 0;
}

void CThreadQueue::Clear() {
    {
        std::lock_guard lock(m_lock);
        m_head = 0;
        m_held = 0;
        m_first = 0;
        m_count = 0;
        ++m_generation;
    }
    m_changed.notify_all();
}

bool CThreadQueue::WaitForRecord(std::chrono::milliseconds timeout) {
    // A producer on another core is usually a few microseconds from its next push: watching
    // the count for a moment is far cheaper than going to sleep and being woken per record.
    const auto spinUntil = std::chrono::steady_clock::now() + kSpinBeforeSleep;
    for (int i = 1; m_count.load(std::memory_order_acquire) == 0; ++i) {
        CpuRelax();
        if (i % 64 == 0 && std::chrono::steady_clock::now() >= spinUntil)
            break;
    }
    if (m_count.load(std::memory_order_acquire) > 0)
        return true;
    std::unique_lock lock(m_lock);
    ++m_recordWaiters;
    const bool arrived = m_changed.wait_for(lock, timeout, [this] { return m_count > 0; });
    --m_recordWaiters;
    return arrived;
}

bool CThreadQueue::WaitForRoom(int32_t length, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_lock);
    const uint64_t interrupts = m_interrupts;
    m_roomWanted.push_back(length);
    m_changed.wait_for(lock, timeout,
                       [&] { return HasRoom(length) || m_interrupts != interrupts; });
    m_roomWanted.erase(std::find(m_roomWanted.begin(), m_roomWanted.end(), length));
    return HasRoom(length);
}

bool CThreadQueue::HasRoom(int32_t length) const {
    return static_cast<int64_t>(m_held) + length < m_capacity;
}

bool CThreadQueue::RoomWaiterSatisfied() const {
    return std::any_of(m_roomWanted.begin(), m_roomWanted.end(),
                       [this](int32_t length) { return HasRoom(length); });
}

void CThreadQueue::Interrupt() {
    {
        std::lock_guard lock(m_lock);
        ++m_interrupts;
    }
    m_changed.notify_all();
}

// The payload is copied while the lock is free, so the producer's copy in and the consumer's
// copy out run at the same time. That is safe because the bytes being written lie in the free
// part of the ring and the bytes being read in the oldest record, and the lock orders the two:
// the producer commits its record under the lock after copying, and the consumer gives its
// record's space back under the lock after copying. A Clear during a copy is noticed by its
// generation, and the copy is then dropped.
bool CThreadQueue::Push(const uint8_t* payload, int32_t length, int32_t tag) {
    if (length < 0 || (length > 0 && payload == nullptr))
        return false;
    size_t tail = 0;
    uint64_t generation = 0;
    {
        std::lock_guard lock(m_lock);
        if (!HasRoom(length))
            return false;
        tail = (m_head + m_held) % m_store.size();
        generation = m_generation;
        m_reserving = true;
    }
    CopyIn(tail, payload, length);
    bool wake = false;
    {
        std::lock_guard lock(m_lock);
        m_reserving = false;
        AppendRecord(length, tag, generation);
        wake = m_recordWaiters > 0;
    }
    if (wake)
        m_changed.notify_all();
    return true;
}

void CThreadQueue::AppendRecord(int32_t length, int32_t tag, uint64_t generation) {
    if (generation != m_generation)
        return; // cleared while the bytes were written: as if pushed and then cleared
    if (m_count == m_records.size()) {
        // Unroll the ring into a larger array, oldest first.
        const size_t count = m_count.load();
        std::vector<Record> grown(2 * (count + 1));
        for (size_t i = 0; i < count; ++i)
            grown[i] = m_records[(m_first + i) % m_records.size()];
        m_records.swap(grown);
        m_first = 0;
    }
    m_records[(m_first + m_count.load()) % m_records.size()] = Record{length, tag};
    m_held += static_cast<size_t>(length);
    ++m_count;
}

uint8_t* CThreadQueue::Reserve(int32_t length) {
    if (length < 0)
        return nullptr;
    std::lock_guard lock(m_lock);
    if (!HasRoom(length))
        return nullptr;
    if (m_held == 0)
        m_head = 0; // nothing queued: start at the front
    const size_t tail = (m_head + m_held) % m_store.size();
    if (tail + static_cast<size_t>(length) > m_store.size())
        return nullptr; // free, but not in one piece
    m_reserving = true;
    m_reservedGeneration = m_generation;
    m_reservedLength = length;
    return m_store.data() + tail;
}

void CThreadQueue::Commit(int32_t length, int32_t tag) {
    bool wake = false;
    {
        std::lock_guard lock(m_lock);
        if (!m_reserving)
            return;
        m_reserving = false;
        AppendRecord(std::clamp(length, 0, m_reservedLength), tag, m_reservedGeneration);
        wake = m_recordWaiters > 0;
    }
    if (wake)
        m_changed.notify_all();
}

uint8_t* CThreadQueue::ReserveUpTo(int32_t maxLength, int32_t& length) {
    length = 0;
    std::lock_guard lock(m_lock);
    if (m_held == 0)
        m_head = 0;
    const int64_t bound = static_cast<int64_t>(m_capacity) - 1 - static_cast<int64_t>(m_held);
    const size_t tail = m_store.empty() ? 0 : (m_head + m_held) % m_store.size();
    // Free bytes run to the end of the ring, or up to the head when the records wrap.
    const size_t free = m_head + m_held >= m_store.size() ? m_head - tail : m_store.size() - tail;
    const int64_t room =
        std::min({static_cast<int64_t>(maxLength), bound, static_cast<int64_t>(free)});
    if (room <= 0)
        return nullptr;
    m_reserving = true;
    m_reservedGeneration = m_generation;
    m_reservedLength = static_cast<int32_t>(room);
    length = m_reservedLength;
    return m_store.data() + tail;
}

void CThreadQueue::CommitRecords(const Record* records, int32_t count) {
    bool wake = false;
    {
        std::lock_guard lock(m_lock);
        if (!m_reserving)
            return;
        m_reserving = false;
        int32_t left = m_reservedLength;
        for (int32_t i = 0; i < count && records[i].length >= 0 && records[i].length <= left; ++i) {
            AppendRecord(records[i].length, records[i].tag, m_reservedGeneration);
            left -= records[i].length;
        }
        wake = m_recordWaiters > 0;
    }
    if (wake)
        m_changed.notify_all();
}

void CThreadQueue::CancelReservation() {
    std::lock_guard lock(m_lock);
    m_reserving = false;
}

bool CThreadQueue::Pop(uint8_t* dest, int32_t destCapacity, int32_t& outLength, int32_t& outTag) {
    Record record{0, 0};
    size_t from = 0;
    uint64_t generation = 0;
    {
        std::lock_guard lock(m_lock);
        if (m_count == 0) {
            TATV_DIAG(m_diag, "[CThreadQueue] Pop Empty\n");
            return false;
        }
        record = m_records[m_first];
        if (record.length > destCapacity || (record.length > 0 && dest == nullptr)) {
            TATV_DIAG(m_diag, "[CThreadQueue] Pop Too Large %d > %d\n", record.length,
                      destCapacity);
            outLength = record.length;
            return false;
        }
        from = m_head;
        generation = m_generation;
    }
    CopyOut(from, dest, record.length);
    bool wake = false;
    {
        std::lock_guard lock(m_lock);
        if (generation != m_generation)
            return false; // cleared while copying: nothing was taken
        DropFront();
        wake = RoomWaiterSatisfied();
    }
    outLength = record.length;
    outTag = record.tag;
    if (wake)
        m_changed.notify_all();
    return true;
}

void CThreadQueue::DropFront() {
    const size_t n = static_cast<size_t>(m_records[m_first].length);
    m_head = m_store.empty() ? 0 : (m_head + n) % m_store.size();
    m_held -= n;
    m_first = (m_first + 1) % m_records.size();
    --m_count;
    if (m_count == 0) {
        m_first = 0;
        if (!m_reserving)
            m_head = 0; // start again at the front, where the cache is warm
    }
}

// The record's bytes lie in the used part of the ring, which the producer does not write, and
// stay there until PopFront gives them back under the lock.
bool CThreadQueue::PeekFront(Front& front) {
    std::lock_guard lock(m_lock);
    if (m_count == 0) {
        TATV_DIAG(m_diag, "[CThreadQueue] Pop Empty\n");
        return false;
    }
    const Record record = m_records[m_first];
    const size_t n = static_cast<size_t>(record.length);
    const size_t first = m_store.empty() ? 0 : std::min(n, m_store.size() - m_head);
    front.first = m_store.data() + m_head;
    front.firstLength = static_cast<int32_t>(first);
    front.second = m_store.data();
    front.secondLength = static_cast<int32_t>(n - first);
    front.tag = record.tag;
    return true;
}

void CThreadQueue::PopFront() {
    bool wake = false;
    {
        std::lock_guard lock(m_lock);
        if (m_count == 0)
            return;
        DropFront();
        wake = RoomWaiterSatisfied();
    }
    if (wake)
        m_changed.notify_all();
}

int32_t CThreadQueue::BytesHeld() {
    std::lock_guard lock(m_lock);
    return static_cast<int32_t>(m_held);
}

void CThreadQueue::CopyIn(size_t at, const uint8_t* src, int32_t length) {
    const size_t n = static_cast<size_t>(length);
    if (n == 0)
        return;
    const size_t ring = m_store.size();
    const size_t first = std::min(n, ring - at);
    std::memcpy(m_store.data() + at, src, first);
    std::memcpy(m_store.data(), src + first, n - first);
}

void CThreadQueue::CopyOut(size_t at, uint8_t* dest, int32_t length) const {
    const size_t n = static_cast<size_t>(length);
    if (n == 0)
        return;
    const size_t ring = m_store.size();
    const size_t first = std::min(n, ring - at);
    std::memcpy(dest, m_store.data() + at, first);
    std::memcpy(dest + first, m_store.data(), n - first);
}

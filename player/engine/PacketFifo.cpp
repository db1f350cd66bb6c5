#include "PacketFifo.h"

#include <algorithm>
#include <cstring>
#include <limits>

void PacketFifo::Push(Kind kind, const uint8_t* bytes, int32_t size, int64_t timeUs, bool key) {
    const size_t length = size > 0 ? static_cast<size_t>(size) : 0;
    if (m_end + length > m_bytes.size()) {
        Compact();
        if (m_end + length > m_bytes.size())
            m_bytes.resize(std::max(m_end + length, m_bytes.size() * 2));
    }
    if (length > 0)
        std::memcpy(m_bytes.data() + m_end, bytes, length);
    if (kind == kFront)
        m_latestFrontUs = std::max(m_latestFrontUs, timeUs);
    m_entries.push_back(Entry{m_end, static_cast<int32_t>(length), kind, timeUs, key});
    m_end += length;
}

bool PacketFifo::PopOldest(uint8_t* destination, size_t capacity, int32_t& size, Kind& kind,
                           int64_t& timeUs, bool* keyFrame) {
    if (Empty())
        return false;
    const Entry& oldest = m_entries[m_first];
    const size_t length = std::min(static_cast<size_t>(oldest.size), capacity);
    if (length > 0)
        std::memcpy(destination, m_bytes.data() + oldest.offset, length);
    size = static_cast<int32_t>(length);
    kind = oldest.kind;
    timeUs = oldest.timeUs;
    if (keyFrame != nullptr)
        *keyFrame = oldest.key;
    m_begin = oldest.offset + static_cast<size_t>(oldest.size);
    ++m_first;
    if (m_first == m_entries.size())
        Clear();
    return true;
}

int64_t PacketFifo::FrontSpanUs() const {
    for (size_t i = m_first; i < m_entries.size(); ++i)
        if (m_entries[i].kind == kFront)
            return std::max<int64_t>(m_latestFrontUs - m_entries[i].timeUs, 0);
    return 0;
}

void PacketFifo::Clear() {
    m_latestFrontUs = std::numeric_limits<int64_t>::min();
    m_entries.clear();
    m_first = 0;
    m_begin = 0;
    m_end = 0;
}

void PacketFifo::Compact() {
    if (m_first == 0 && m_begin == 0)
        return;
    const size_t live = m_end - m_begin;
    if (live > 0)
        std::memmove(m_bytes.data(), m_bytes.data() + m_begin, live);
    m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(m_first));
    for (Entry& entry : m_entries)
        entry.offset -= m_begin;
    m_first = 0;
    m_begin = 0;
    m_end = live;
}

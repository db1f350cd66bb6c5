#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// The engine's delay line: video packets of every camera in arrival order, with their kind
// (the camera's channel: 0 front, 1 rear or back, 2 … further cameras), key-frame flag and
// presentation time (microseconds). Unbounded; the engine's prebuffer
// sets its high-water mark.
//
// Payloads sit back to back in one byte store that keeps its allocation when emptied, so a
// steady stream of packets allocates nothing. Taking the oldest entry only advances a read
// position; the store is compacted when an append needs room.
//
// Threads: the engine's worker only (and the owner while it holds the engine lock).
class PacketFifo {
public:
    // A channel number; the further cameras' channels 2 … 5 are values of it too.
    enum Kind : int32_t { kFront = 0, kRear = 1 };

    void Push(Kind kind, const uint8_t* bytes, int32_t size, int64_t timeUs, bool key = false);
    // Copies the oldest payload into destination (capacity bytes), gives its kind and time, and
    // removes it. False when the FIFO is empty. A payload longer than capacity is cut to
    // capacity (cannot happen with the engine's buffers, which are as large as any packet).
    // keyFrame, when given, receives the entry's key-frame flag.
    bool PopOldest(uint8_t* destination, size_t capacity, int32_t& size, Kind& kind,
                   int64_t& timeUs, bool* keyFrame = nullptr);
    void Clear();
    // The kind of the oldest entry; the FIFO must not be empty.
    Kind OldestKind() const { return m_entries[m_first].kind; }
    // From the oldest front entry's time to the latest front time pushed since the last Clear
    // (microseconds); 0 with no front entry.
    int64_t FrontSpanUs() const;
    size_t Count() const { return m_entries.size() - m_first; }
    bool Empty() const { return Count() == 0; }

private:
    struct Entry {
        size_t offset;
        int32_t size;
        Kind kind;
        int64_t timeUs;
        bool key;
    };
    void Compact();

    std::vector<uint8_t> m_bytes;
    size_t m_begin = 0; // first byte of the oldest payload
    size_t m_end = 0;   // one past the newest payload
    std::vector<Entry> m_entries;
    size_t m_first = 0; // index of the oldest entry
    int64_t m_latestFrontUs = std::numeric_limits<int64_t>::min();
};

#pragma once

#include "TatFormat.h"

#include <cstdint>
#include <vector>

namespace tat {

// What a recording's packets add up to, counted the camera's way: the counts of its footer
// (front and rear frames, audio packets, G-sensor 'M' and GPS 'G' text lines) and its seek
// index, the offset of the newest front key frame at each whole second of front video (every
// frontFrameRate-th front frame, at most kMaxIndexEntries).
//
// The card writer keeps one while it appends packets; the reader rebuilds one from the packets
// of a recording that has no footer.
//
// Threads: a plain value; one thread at a time.
class PacketTally {
public:
    // For a recording of this many front frames per second (0: no seek index).
    explicit PacketTally(uint32_t frontFrameRate = 0) : m_rate(frontFrameRate) {}

    // Counts the packet that starts `at` bytes into the file; `payload` holds its header.size
    // bytes.
    void Add(const PacketHeader& header, const uint8_t* payload, uint64_t at);

    const Counts& Totals() const { return m_counts; }
    const std::vector<uint64_t>& Index() const { return m_index; }
    // Milliseconds of front video: frames at the frame rate; 0 without a rate.
    uint32_t DurationMs() const;

private:
    uint32_t m_rate;
    Counts m_counts;
    std::vector<uint64_t> m_index;
    uint64_t m_lastKeyFrame = kRecordingHeaderSize;
};

} // namespace tat

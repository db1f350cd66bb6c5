#include "PacketTally.h"

namespace tat {

void PacketTally::Add(const PacketHeader& header, const uint8_t* payload, uint64_t at) {
    if (header.type == VideoKeyFrame || header.type == VideoFrame) {
        if (header.channel == 0) {
            const uint32_t frame = m_counts.frontFrames++;
            if (header.type == VideoKeyFrame)
                m_lastKeyFrame = at;
            if (m_rate > 0 && frame % m_rate == 0 && m_index.size() < kMaxIndexEntries)
                m_index.push_back(m_lastKeyFrame);
        } else {
            ++m_counts.rearFrames;
        }
    } else if (header.type == Audio) {
        ++m_counts.audioPackets;
    } else if (header.size > 0 && payload[0] == 'M') {
        ++m_counts.sensorPackets;
    } else if (header.size > 0 && payload[0] == 'G') {
        ++m_counts.gpsPackets;
    }
}

uint32_t PacketTally::DurationMs() const {
    return m_rate > 0 ? static_cast<uint32_t>(uint64_t{m_counts.frontFrames} * 1000u / m_rate) : 0;
}

} // namespace tat

#include "DeferredPackets.h"

void DeferredPackets::Keep(const uint8_t* bytes, int32_t length, int64_t timeUs, bool key) {
    if (bytes == nullptr || length <= 0)
        return;
    if (key) {
        // Nothing before a key picture is referred to by it or by the pictures after it. The
        // decoder may still hold state from before the dropped packets (or from before the
        // first one kept): it starts afresh at this one.
        m_packets.clear();
        m_bytes = 0;
    }
    Packet packet;
    packet.bytes.assign(bytes, bytes + length);
    packet.timeUs = timeUs;
    packet.restart = key;
    m_bytes += packet.bytes.size();
    m_packets.push_back(std::move(packet));
}

bool DeferredPackets::OverLimit() const {
    return m_packets.size() > kMaxPackets || m_bytes > kMaxBytes;
}

DeferredPackets::Packet DeferredPackets::TakeOldest() {
    Packet packet = std::move(m_packets.front());
    m_packets.pop_front();
    m_bytes -= packet.bytes.size();
    return packet;
}

void DeferredPackets::Clear() {
    m_packets.clear();
    m_bytes = 0;
}

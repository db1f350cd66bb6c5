#include "PacketList.h"

bool CPacketList::Begin(const std::string& name, const tat::InfoBlock& info) {
    if (m_begun) {
        m_error = "a recording was already begun";
        return false;
    }
    m_begun = true;
    m_name = name;
    m_info = info;
    return true;
}

bool CPacketList::Add(uint8_t type, uint8_t channel, const uint8_t* payload, uint32_t size) {
    if (!m_begun || m_ending != Ending::Open) {
        m_error = "no recording is open";
        return false;
    }
    if (size > tat::kMaxPacketSize) {
        m_error = "packet too large";
        return false;
    }
    m_packets.push_back(Packet{type, channel, std::vector<uint8_t>(payload, payload + size)});
    m_bytes += size;
    return true;
}

bool CPacketList::Finish() {
    if (!m_begun || m_ending != Ending::Open) {
        m_error = "no recording is open";
        return false;
    }
    m_ending = Ending::Finished;
    return true;
}

void CPacketList::Abandon(bool cutMidPacket) {
    if (m_begun && m_ending == Ending::Open)
        m_ending = cutMidPacket ? Ending::AbandonedMidPacket : Ending::Abandoned;
}

void CPacketList::Discard() {
    if (m_begun && m_ending == Ending::Open)
        m_ending = Ending::Discarded;
}

bool CPacketList::ReplayInto(VRecordingSink& sink) const {
    if (!sink.Begin(m_name, m_info))
        return false;
    for (const Packet& packet : m_packets) {
        if (!sink.Add(packet.type, packet.channel, packet.payload.data(),
                      static_cast<uint32_t>(packet.payload.size()))) {
            sink.Abandon(false);
            return false;
        }
    }
    switch (m_ending) {
    case Ending::Finished:
        return sink.Finish();
    case Ending::AbandonedMidPacket:
        sink.Abandon(true);
        return true;
    case Ending::Abandoned:
    case Ending::Open:
        sink.Abandon(false);
        return true;
    case Ending::Discarded:
        sink.Discard();
        return true;
    }
    return true;
}

#pragma once

#include "DemoRecorder.h"

#include <cstdint>
#include <string>
#include <vector>

// A recording held in memory: what a VRecordingSink was given, in order, to be written to a
// card later (recordings are coded in parallel but written one after the other) or looked at
// in tests.
class CPacketList : public VRecordingSink {
public:
    struct Packet {
        uint8_t type = 0;
        uint8_t channel = 0;
        std::vector<uint8_t> payload;
    };
    enum class Ending { Open, Finished, Abandoned, AbandonedMidPacket, Discarded };

    bool Begin(const std::string& name, const tat::InfoBlock& info) override;
    bool Add(uint8_t type, uint8_t channel, const uint8_t* payload, uint32_t size) override;
    bool Finish() override;
    void Abandon(bool cutMidPacket) override;
    void Discard() override;
    std::string Error() const override { return m_error; }

    const std::string& Name() const { return m_name; }
    const tat::InfoBlock& Info() const { return m_info; }
    const std::vector<Packet>& Packets() const { return m_packets; }
    Ending End() const { return m_ending; }
    uint64_t PayloadBytes() const { return m_bytes; }

    // Hands the recording to another sink, packet by packet, and ends it the same way.
    bool ReplayInto(VRecordingSink& sink) const;

private:
    std::string m_name;
    tat::InfoBlock m_info;
    std::vector<Packet> m_packets;
    Ending m_ending = Ending::Open;
    bool m_begun = false;
    uint64_t m_bytes = 0;
    std::string m_error;
};

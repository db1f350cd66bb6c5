#pragma once

#include "player/api/MediaPacket.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// The packets of a channel whose pictures nobody sees (its area hidden, as the rear's is while
// the map takes its place), kept undecoded until its picture is needed again; decoding them
// then, in one go, costs no more than decoding them as they came, and usually much less: a key
// packet makes every packet before it unneeded, so at most the packets since the last key
// frame are ever decoded.
//
// The limits bound both the memory and the catch-up's length: beyond them the oldest packet is
// to be decoded at once (OverLimit), as it would have been without deferring.
//
// Owns copies of the packets. Threads: none of its own; the decoder uses it under the channel's
// lock.
class DeferredPackets {
public:
    static constexpr size_t kMaxPackets = 60;
    static constexpr size_t kMaxBytes = size_t{16} << 20;

    struct Packet {
        std::vector<uint8_t> bytes;
        int64_t timeUs = kNoTimeUs;
        // The decoder drops what it holds before this packet: a key packet came after the
        // last packet the decoder was given, and the packets between were never decoded.
        bool restart = false;
    };

    // Keeps a copy of the packet. key: it starts a picture that needs no earlier one (as the
    // demuxer marked it); the packets kept before it are dropped. Empty packets are ignored.
    void Keep(const uint8_t* bytes, int32_t length, int64_t timeUs, bool key);
    // More packets or bytes kept than the limits allow: TakeOldest one and decode it now.
    bool OverLimit() const;
    bool Empty() const { return m_packets.empty(); }
    size_t Count() const { return m_packets.size(); }
    // The oldest packet kept, taken out. Only when not Empty.
    Packet TakeOldest();
    // Drops every packet (a reposition, another recording, another coding).
    void Clear();

private:
    std::deque<Packet> m_packets;
    size_t m_bytes = 0;
};

#pragma once

#include "ByteSource.h"
#include "TelemetryTrack.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// The GPS records of MPEG transport stream recordings: each record (the layout of
// NovatekGps.h) is the body of a private_stream_2 PES packet (stream id 0xBF) on a PID that
// the program map does not list.
namespace mpegts {

inline constexpr size_t kPacketSize = 188;
inline constexpr uint8_t kSync = 0x47;
inline constexpr uint8_t kPrivateStream2 = 0xBF;
// PES packets longer than this are not collected.
inline constexpr size_t kMaxPesBytes = 65536 + 6;

// True when the bytes start like a transport stream: sync bytes at 0 and 188 (and 376 where
// the bytes reach).
bool LooksLikeTransportStream(const uint8_t* data, size_t size);

// Walks the 188-byte packets of a transport stream: reads the program association and map
// tables, gathers the PES packets of PIDs outside the map, and calls onPes(pid, pes, size)
// with each whole one (from its 00 00 01 start code). Packets without the sync byte are
// skipped; adaptation fields, continuity and lengths are checked against the packet.
// One thread at a time; onPes runs on the caller's thread and its bytes last for the call.
class TsPacketWalker {
public:
    using PesHandler = std::function<void(uint16_t pid, const uint8_t* pes, size_t size)>;
    explicit TsPacketWalker(PesHandler onPes) : m_onPes(std::move(onPes)) {}

    void Feed(const uint8_t* packet); // one packet of kPacketSize bytes
    void Finish();                    // hands over PES packets still being gathered

private:
    void Table(uint16_t pid, const uint8_t* payload, size_t size, bool start);
    void Pes(uint16_t pid, const uint8_t* payload, size_t size, bool start);
    void Flush(uint16_t pid);

    PesHandler m_onPes;
    uint8_t m_kind[8192] = {}; // per PID: 0 unknown, 1 program map, 2 listed stream
    struct Buffer {
        bool open = false;
        size_t expected = 0; // 0: unbounded (length field 0)
        std::vector<uint8_t> bytes;
    };
    std::vector<std::pair<uint16_t, Buffer>> m_buffers; // PIDs outside the map being gathered
};

// The fixes of a transport stream file read in 1 MiB steps; the i-th record at i seconds.
void ReadFixes(ByteSource& source, TelemetryTrack& track);

} // namespace mpegts

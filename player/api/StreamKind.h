#pragma once

#include <cstdint>

// The kind of a packet as a parser reports it.
enum StreamKind : int32_t {
    FrontVideo = 0,  // one access unit (H.264 or H.265) of the front camera, channel 0
    RearVideo = 1,   // one access unit of another camera, channel 1 and above
    Audio = 2,       // PCM samples, mono, at the recording's sample format
    Text = 3,        // one GPS or G-sensor line
    NoPacket = 4,    // nothing delivered this time; ask again
    EndOfStream = 5, // the recording has ended or a read failed
};

// Every caller reads packets into a buffer of this many bytes; no packet is larger.
inline constexpr int32_t kPacketBufferSize = 1048576;

#pragma once

#include <cstdint>

// The kind of a packet as a parser reports it.
enum StreamKind : int32_t {
    FrontVideo = 0,  // "00dc": one H.264 access unit of the front camera
    RearVideo = 1,   // "01dc" (any "dc" with a stream number other than 0)
    Audio = 2,       // "02wb" ("01wb" in a one-channel AVI): 16-bit PCM samples
    Text = 3,        // "03tx" ("02tx" in a one-channel AVI): one GPS or G-sensor line
    NoPacket = 4,    // nothing delivered this time; ask again
    EndOfStream = 5, // the recording has ended or a read failed
};

// Every caller reads packets into a buffer of this many bytes; no packet is larger.
inline constexpr int32_t kPacketBufferSize = 1048576;

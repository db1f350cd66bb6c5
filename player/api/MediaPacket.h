#pragma once

#include "StreamKind.h"

#include <cstdint>
#include <limits>

// A time that is not known (a decoder that has yielded no picture yet).
inline constexpr int64_t kNoTimeUs = std::numeric_limits<int64_t>::min();

// One packet of one stream as a parser delivers it: the parser states its stream, channel,
// key-frame flag and time; the player never guesses them from the payload. The payload lives
// in a buffer that the caller owns; this record only points at it.
struct MediaPacket {
    // FrontVideo (channel 0), RearVideo (channel 1 or above), Audio, Text; NoPacket when
    // nothing arrived this time (ask again).
    StreamKind kind = NoPacket;
    // The camera of a video packet: 0 front, 1 rear, 2 … further cameras. 0 for other kinds.
    int32_t channel = 0;
    // A video packet that decodes on its own (an IDR or other random-access picture).
    bool keyFrame = false;
    // Presentation time in microseconds of recording time, counted from the start of the
    // recording's front picture. For video the time of the picture the packet holds (pictures
    // reordered by the decoder come out in time order, not packet order); for audio the time of
    // the first sample; for text the moment the line belongs to.
    int64_t timeUs = 0;
    int32_t size = 0;                 // payload length in bytes
    const uint8_t* payload = nullptr; // caller's buffer, size bytes
};

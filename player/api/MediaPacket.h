#pragma once

#include "StreamKind.h"

#include <cstdint>

// One chunk of one stream as a read delivers it. The payload lives in a buffer that the
// caller owns; this record only points at it.
struct MediaPacket {
    StreamKind kind = NoPacket;
    char chunkId[5] = {0, 0, 0, 0, 0}; // four ASCII letters and a terminating zero
    int32_t size = 0;                  // payload length in bytes
    const uint8_t* payload = nullptr;  // caller's buffer, size bytes
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// H.264 byte streams (Annex B: NAL units behind 00 00 01 or 00 00 00 01 start codes).

// Splits a byte stream into access units at its access unit delimiters (NAL type 9); each
// unit starts with its delimiter. Bytes before the first delimiter are dropped.
std::vector<std::vector<uint8_t>> SplitAccessUnits(const uint8_t* data, size_t size);

// Position of the NAL header behind the next start code (00 00 01) at or after `from`, or
// size when there is none.
size_t NextNalHeader(const uint8_t* data, size_t size, size_t from);

// True when the access unit holds an IDR slice (NAL type 5).
bool IsKeyFrame(const uint8_t* unit, size_t size);

// The camera's own key-frame rule for the video packets it stores: a packet is a key frame
// unless its fifth byte is 0x41 (a non-IDR slice right after a four-byte start code). Packets
// shorter than five bytes count as key frames.
bool IsCameraKeyFrame(const uint8_t* packet, size_t size);

#pragma once

#include <cstdint>

// Big-endian loads of fixed-width fields, the byte order of MP4 boxes, MPEG-TS headers and
// the cameras' binary telemetry records. The caller guarantees the bytes are there.
inline uint16_t LoadU16BE(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

inline uint32_t LoadU32BE(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

inline uint64_t LoadU64BE(const uint8_t* p) {
    return static_cast<uint64_t>(LoadU32BE(p)) << 32 | LoadU32BE(p + 4);
}

inline int16_t LoadI16BE(const uint8_t* p) {
    return static_cast<int16_t>(LoadU16BE(p));
}

inline int32_t LoadI32BE(const uint8_t* p) {
    return static_cast<int32_t>(LoadU32BE(p));
}

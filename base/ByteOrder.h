#pragma once

#include <cstdint>
#include <cstring>

// Little-endian reads of fixed-width fields from byte buffers. The caller guarantees the
// bytes are there.
inline uint32_t LoadU32LE(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint16_t LoadU16LE(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline int32_t LoadI32LE(const uint8_t* p) {
    return static_cast<int32_t>(LoadU32LE(p));
}

inline bool FourCcIs(const void* p, const char (&fourcc)[5]) {
    return std::memcmp(p, fourcc, 4) == 0;
}

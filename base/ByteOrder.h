#pragma once

#include <cstdint>
#include <cstring>

// Little-endian loads and stores of fixed-width fields in byte buffers: the byte order of the
// card's storage, of AVI files and of 16-bit PCM. The caller guarantees the bytes are there.
inline uint16_t LoadU16LE(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t LoadU32LE(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t LoadU64LE(const uint8_t* p) {
    return static_cast<uint64_t>(LoadU32LE(p)) | static_cast<uint64_t>(LoadU32LE(p + 4)) << 32;
}

inline int16_t LoadI16LE(const uint8_t* p) {
    return static_cast<int16_t>(LoadU16LE(p));
}

inline int32_t LoadI32LE(const uint8_t* p) {
    return static_cast<int32_t>(LoadU32LE(p));
}

inline void StoreU16LE(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreU32LE(uint8_t* p, uint32_t v) {
    StoreU16LE(p, static_cast<uint16_t>(v));
    StoreU16LE(p + 2, static_cast<uint16_t>(v >> 16));
}

inline void StoreU64LE(uint8_t* p, uint64_t v) {
    StoreU32LE(p, static_cast<uint32_t>(v));
    StoreU32LE(p + 4, static_cast<uint32_t>(v >> 32));
}

inline bool FourCcIs(const void* p, const char (&fourcc)[5]) {
    return std::memcmp(p, fourcc, 4) == 0;
}

// Big-endian loads: the byte order of MP4 boxes, MPEG-TS headers and the cameras' binary
// telemetry records. The caller guarantees the bytes are there.
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

#include "Crc32c.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace {

constexpr uint32_t kPolynomial = 0x82F63B78u; // reflected Castagnoli

constexpr std::array<std::array<uint32_t, 256>, 8> MakeTables() {
    std::array<std::array<uint32_t, 256>, 8> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) ? (c >> 1) ^ kPolynomial : c >> 1;
        t[0][i] = c;
    }
    for (size_t n = 1; n < 8; ++n)
        for (uint32_t i = 0; i < 256; ++i)
            t[n][i] = (t[n - 1][i] >> 8) ^ t[0][t[n - 1][i] & 0xFF];
    return t;
}

constexpr auto kTables = MakeTables();

uint32_t SoftwareCrc(const uint8_t* p, size_t size, uint32_t c) {
    while (size >= 8) {
        uint32_t lo = 0;
        uint32_t hi = 0;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        lo ^= c;
        c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
            kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
            kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
        p += 8;
        size -= 8;
    }
    while (size-- > 0)
        c = (c >> 8) ^ kTables[0][(c ^ *p++) & 0xFF];
    return c;
}

// The register after `zeros` zero bytes, as a table per byte of the register: processing a
// message of n bytes from state s gives the state from 0 XOR this shift of s. It lets three
// lanes of a buffer be checksummed at once and joined afterwards.
struct ZeroShift {
    std::array<std::array<uint32_t, 256>, 4> table{};

    explicit ZeroShift(size_t zeros) {
        std::array<uint32_t, 32> basis{};
        for (size_t bit = 0; bit < 32; ++bit) {
            uint32_t c = 1u << bit;
            for (size_t n = 0; n < zeros; ++n)
                c = (c >> 8) ^ kTables[0][c & 0xFF];
            basis[bit] = c;
        }
        for (size_t k = 0; k < 4; ++k)
            for (uint32_t b = 0; b < 256; ++b) {
                uint32_t v = 0;
                for (size_t j = 0; j < 8; ++j)
                    if ((b >> j) & 1u)
                        v ^= basis[8 * k + j];
                table[k][b] = v;
            }
    }

    uint32_t Apply(uint32_t c) const {
        return table[0][c & 0xFF] ^ table[1][(c >> 8) & 0xFF] ^ table[2][(c >> 16) & 0xFF] ^
               table[3][c >> 24];
    }
};

#if defined(__x86_64__)
constexpr size_t kLongLane = 2048;
constexpr size_t kShortLane = 256;

// Three lanes of `lane` bytes at a time: the instruction's latency is three times its
// throughput, so three independent chains keep it busy.
__attribute__((target("sse4.2"))) uint32_t
HardwareLanes(const uint8_t*& p, size_t& size, uint32_t c, size_t lane, const ZeroShift& shift) {
    while (size >= 3 * lane) {
        uint64_t c0 = c;
        uint64_t c1 = 0;
        uint64_t c2 = 0;
        for (size_t i = 0; i < lane; i += 8) {
            uint64_t w0 = 0;
            uint64_t w1 = 0;
            uint64_t w2 = 0;
            std::memcpy(&w0, p + i, 8);
            std::memcpy(&w1, p + lane + i, 8);
            std::memcpy(&w2, p + 2 * lane + i, 8);
            c0 = _mm_crc32_u64(c0, w0);
            c1 = _mm_crc32_u64(c1, w1);
            c2 = _mm_crc32_u64(c2, w2);
        }
        c = shift.Apply(static_cast<uint32_t>(c0)) ^ static_cast<uint32_t>(c1);
        c = shift.Apply(c) ^ static_cast<uint32_t>(c2);
        p += 3 * lane;
        size -= 3 * lane;
    }
    return c;
}

__attribute__((target("sse4.2"))) uint32_t HardwareCrc(const uint8_t* p, size_t size, uint32_t c) {
    static const ZeroShift longShift(kLongLane);
    static const ZeroShift shortShift(kShortLane);
    c = HardwareLanes(p, size, c, kLongLane, longShift);
    c = HardwareLanes(p, size, c, kShortLane, shortShift);
    uint64_t c64 = c;
    while (size >= 8) {
        uint64_t word = 0;
        std::memcpy(&word, p, 8);
        c64 = _mm_crc32_u64(c64, word);
        p += 8;
        size -= 8;
    }
    uint32_t c32 = static_cast<uint32_t>(c64);
    while (size-- > 0)
        c32 = _mm_crc32_u8(c32, *p++);
    return c32;
}

bool HasHardwareCrc() {
    static const bool has = __builtin_cpu_supports("sse4.2");
    return has;
}
#endif

} // namespace

uint32_t Crc32c(const void* data, size_t size, uint32_t crc) {
    const auto* p = static_cast<const uint8_t*>(data);
    const uint32_t c = ~crc;
#if defined(__x86_64__)
    if (HasHardwareCrc())
        return ~HardwareCrc(p, size, c);
#endif
    return ~SoftwareCrc(p, size, c);
}

// For tests: the table path, whatever the processor.
uint32_t Crc32cSoftwareForTest(const void* data, size_t size, uint32_t crc) {
    return ~SoftwareCrc(static_cast<const uint8_t*>(data), size, ~crc);
}

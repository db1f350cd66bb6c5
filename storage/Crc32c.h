#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32C (Castagnoli), the checksum of the camera storage. Uses the processor's CRC32
// instruction where there is one (SSE 4.2), a table otherwise; both give the same values.
// Chain calls by passing the previous result as `crc` (start with 0).
uint32_t Crc32c(const void* data, size_t size, uint32_t crc = 0);

// The table path alone, so tests can compare it with the instruction path.
uint32_t Crc32cSoftwareForTest(const void* data, size_t size, uint32_t crc = 0);

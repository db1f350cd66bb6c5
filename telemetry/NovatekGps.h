#pragma once

#include "ByteSource.h"
#include "CGPSData.h"
#include "FixMaker.h"
#include "Mp4File.h"
#include "TelemetryTrack.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// The GPS blocks of the most common camera chip family. A block is u32 BE size, "free",
// "GPS ", then one little-endian record: six u32 (hour, minute, second, year - 2000, month,
// day, UTC), three characters (status 'A' or 'V', 'N' or 'S', 'E' or 'W') and a pad byte,
// then f32 latitude (DDMM.mmmm), f32 longitude (DDDMM.mmmm), f32 speed (knots) and f32 course
// (degrees). Newer firmware puts the record at block + 0x10, older at + 0x30; the three
// characters tell which. An MP4 file indexes its blocks with a `gps ` box in its movie box:
// u32 BE version, u32 BE count, then count × (u32 BE file offset, u32 BE size). Blocks come
// once a second.
namespace novatek {

// Bytes of the record.
inline constexpr size_t kRecordSize = 44;
// Where the record may start in a block.
inline constexpr size_t kNewRecordAt = 0x10;
inline constexpr size_t kOldRecordAt = 0x30;
// Block bytes read to find and decode the record.
inline constexpr size_t kBlockHead = kOldRecordAt + kRecordSize;
// Milliseconds between blocks.
inline constexpr int64_t kBlockIntervalMs = 1000;

// The fix of a record at data (size bytes available); nullopt when the bytes are not a record
// (the three characters do not read [AV][NS][EW], or too few bytes).
std::optional<CGPSData> DecodeRecord(const uint8_t* data, size_t size, FixMaker& maker);

// The fix of a block (from its size field); nullopt when it is not a GPS block.
std::optional<CGPSData> DecodeBlock(const uint8_t* data, size_t size, FixMaker& maker);

// The blocks of the movie box's `gps ` index, the i-th at i seconds. False (track untouched)
// when the movie has no index.
bool ReadIndexed(const Mp4File& file, ByteSource& source, TelemetryTrack& track);

// Searches [0, limit) of the source for blocks ("freeGPS " 4 bytes after a block's start),
// for files whose index is missing; the i-th block found at i seconds. Reads in 1 MiB steps.
void ScanBlocks(ByteSource& source, uint64_t limit, TelemetryTrack& track);

} // namespace novatek

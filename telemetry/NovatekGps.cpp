#include "NovatekGps.h"

#include "base/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace novatek {

namespace {

constexpr char kBlockTag[] = "freeGPS ";
constexpr size_t kTagAt = 4;
constexpr size_t kTagSize = 8;
constexpr size_t kCharsInRecord = 24;
constexpr double kKnotsToKmh = 1.852;
// Index entries taken at most: a day of blocks.
constexpr uint32_t kMaxIndexEntries = 86400;
constexpr size_t kScanStep = 1u << 20;

bool RecordCharsAt(const uint8_t* data, size_t size, size_t at) {
    if (size < at + kRecordSize)
        return false;
    const uint8_t* chars = data + at + kCharsInRecord;
    return (chars[0] == 'A' || chars[0] == 'V') && (chars[1] == 'N' || chars[1] == 'S') &&
           (chars[2] == 'E' || chars[2] == 'W');
}

float LoadF32LE(const uint8_t* p) {
    const uint32_t bits = LoadU32LE(p);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int32_t Field(const uint8_t* record, int index) {
    const uint32_t value = LoadU32LE(record + index * 4);
    return value > 9999 ? -1 : static_cast<int32_t>(value);
}

} // namespace

std::optional<CGPSData> DecodeRecord(const uint8_t* data, size_t size, FixMaker& maker) {
    if (data == nullptr || !RecordCharsAt(data, size, 0))
        return std::nullopt;
    UtcStamp utc;
    utc.hour = Field(data, 0);
    utc.minute = Field(data, 1);
    utc.second = Field(data, 2);
    const int32_t year = Field(data, 3);
    utc.month = Field(data, 4);
    utc.day = Field(data, 5);
    if (utc.hour < 0 || utc.hour > 23 || utc.minute < 0 || utc.minute > 59 || utc.second < 0 ||
        utc.second > 60 || year < 0 || year > 99 || utc.month < 0 || utc.month > 12 ||
        utc.day < 0 || utc.day > 31)
        utc = UtcStamp{};
    else
        utc.year = utc.month > 0 && utc.day > 0 ? 2000 + year : 0;
    const uint8_t* chars = data + kCharsInRecord;
    double latitude = LoadF32LE(data + 28);
    double longitude = LoadF32LE(data + 32);
    const double knots = LoadF32LE(data + 36);
    const double course = LoadF32LE(data + 40);
    if (chars[1] == 'S')
        latitude = -latitude;
    if (chars[2] == 'W')
        longitude = -longitude;
    return maker.MakeFromNmea(utc, chars[0] == 'A', latitude, longitude, knots * kKnotsToKmh,
                              course);
}

std::optional<CGPSData> DecodeBlock(const uint8_t* data, size_t size, FixMaker& maker) {
    if (data == nullptr || size < kTagAt + kTagSize ||
        std::memcmp(data + kTagAt, kBlockTag, kTagSize) != 0)
        return std::nullopt;
    const size_t declared = LoadU32BE(data);
    if (declared >= kTagAt + kTagSize)
        size = std::min(size, declared);
    for (const size_t at : {kNewRecordAt, kOldRecordAt})
        if (RecordCharsAt(data, size, at))
            return DecodeRecord(data + at, size - at, maker);
    return std::nullopt;
}

bool ReadIndexed(const Mp4File& file, ByteSource& source, TelemetryTrack& track) {
    const std::vector<uint8_t>& moov = file.Moov();
    Mp4Box index;
    if (!Mp4File::FindChild(moov.data(), moov.size(), "gps ", index) || index.DataSize() < 8)
        return false;
    const uint8_t* data = moov.data() + index.DataOffset();
    const uint32_t count = std::min<uint32_t>(
        {LoadU32BE(data + 4), static_cast<uint32_t>((index.DataSize() - 8) / 8), kMaxIndexEntries});
    FixMaker maker;
    uint8_t block[kBlockHead];
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + 8 + size_t{i} * 8;
        const uint64_t offset = LoadU32BE(entry);
        const uint64_t size = std::min<uint64_t>(LoadU32BE(entry + 4), kBlockHead);
        if (size < kTagAt + kTagSize || !source.Holds(offset, size) ||
            !source.ReadAt(offset, block, static_cast<size_t>(size)))
            continue;
        if (const std::optional<CGPSData> fix =
                DecodeBlock(block, static_cast<size_t>(size), maker))
            track.fixes.push_back(TimedFix{int64_t{i} * kBlockIntervalMs, *fix});
    }
    return true;
}

void ScanBlocks(ByteSource& source, uint64_t limit, TelemetryTrack& track) {
    limit = std::min(limit, source.Size());
    FixMaker maker;
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::min<uint64_t>(kScanStep + kBlockHead, limit)));
    int64_t found = 0;
    uint64_t offset = 0;
    while (offset < limit) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), limit - offset));
        if (!source.ReadAt(offset, buffer.data(), want))
            return;
        // Blocks that start within the first kScanStep bytes (every byte in the last step);
        // the overlap holds their heads.
        const bool last = offset + want >= limit;
        const size_t starts = last ? want : std::min(want, kScanStep);
        size_t from = 0;
        while (from + kTagSize <= want) {
            const void* hit = memmem(buffer.data() + from, want - from, kBlockTag, kTagSize);
            if (hit == nullptr)
                break;
            const auto tag = static_cast<size_t>(static_cast<const uint8_t*>(hit) - buffer.data());
            from = tag + 1;
            if (tag < kTagAt)
                continue; // its block starts in the previous step, which has read it
            const size_t block = tag - kTagAt;
            if (block >= starts)
                break;
            if (const std::optional<CGPSData> fix =
                    DecodeBlock(buffer.data() + block, want - block, maker))
                track.fixes.push_back(TimedFix{found++ * kBlockIntervalMs, *fix});
        }
        if (offset + want >= limit)
            break;
        offset += kScanStep;
    }
}

} // namespace novatek

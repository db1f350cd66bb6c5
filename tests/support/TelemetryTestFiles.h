#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builders of the files the telemetry readers take: MP4 boxes and tracks, GPS blocks and
// records, GPMF items, transport stream packets. Byte by byte, as the cameras write them.
namespace telemetryfiles {

using Bytes = std::vector<uint8_t>;

void PutU16BE(Bytes& out, uint32_t value);
void PutU32BE(Bytes& out, uint32_t value);
void PutU32LE(Bytes& out, uint32_t value);
void PutF32LE(Bytes& out, float value);
void PutText(Bytes& out, std::string_view text);
Bytes Join(const std::vector<Bytes>& parts);

// A box: u32 BE size, type, payload.
Bytes Box(std::string_view type, const Bytes& payload);
// A full box: version, three flag bytes, payload.
Bytes FullBox(std::string_view type, uint8_t version, const Bytes& payload);

// ftyp + mdat(samples back to back) + moov(one track of the samples, each lasting the given
// ticks at `timescale`, stored as two chunks to exercise the chunk table) + extra boxes in
// moov.
Bytes Mp4WithTrack(std::string_view handler, std::string_view format, uint32_t timescale,
                   const std::vector<Bytes>& samples, uint32_t ticksPerSample,
                   const Bytes& extraMoov = {});

// A GPS record: UTC time, status and hemisphere letters, DDMM.mmmm values, knots, course.
struct GpsRecord {
    uint32_t hour = 0, minute = 0, second = 0, year = 0, month = 0, day = 0; // year - 2000
    char status = 'A', ns = 'N', ew = 'E';
    float latitude = 0, longitude = 0, knots = 0, course = 0;
};
Bytes Record(const GpsRecord& record);
// A block "size free GPS " with the record at 0x10 (new) or 0x30 (old layout), padded to size.
Bytes Block(const GpsRecord& record, bool oldLayout, size_t size = 0x100);

// A GPMF item: key, type, struct size, repeat, the values (padded to four bytes here).
Bytes Klv(std::string_view key, char type, uint8_t structSize, uint16_t repeat,
          const Bytes& values);

// A transport stream packet of 188 bytes: header for pid (payload unit start as given),
// payload, stuffed with an adaptation field when shorter than 184 bytes.
Bytes TsPacket(uint16_t pid, bool start, const Bytes& payload);
// A program association section for one program map on mapPid, and a program map section
// listing the streams (type 0x1B) given.
Bytes PatPayload(uint16_t mapPid);
Bytes PmtPayload(const std::vector<uint16_t>& streams);
// A PES packet of the stream id with the body (length field set).
Bytes Pes(uint8_t streamId, const Bytes& body);

} // namespace telemetryfiles

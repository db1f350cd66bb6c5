#pragma once

#include "ByteSource.h"
#include "Mp4File.h"
#include "TelemetryTrack.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The GPS and G-sensor data of one family of cameras: inside the video, a top-level `free`
// box whose payload is child boxes, `gps ` (NMEA text, each line led by "[milliseconds]" on
// the camera's clock, ending at a zero byte) and `3gf ` (G-sensor records); in older models
// the same two payloads as side files NAME.gps and NAME.3gf.
namespace blackvue {

// G-sensor units per g (the pull of gravity): a car at rest reads about 128 on its vertical
// axis.
inline constexpr double kUnitsPerG = 128.0;
// Bytes of one G-sensor record: u32 BE milliseconds since the start, then x, y, z as i16 BE.
inline constexpr size_t kRecordSize = 10;
// The time of the record that ends the list.
inline constexpr uint32_t kEndTime = 0xFFFFFFFF;

// The G-sensor records of a `3gf ` payload or side file, up to the end record or the last
// whole record.
std::vector<TimedAcceleration> ReadAccelerations(const uint8_t* data, size_t size);

// The fixes of a `gps ` payload or side file; startStampMs as for TimedFixesFromNmea.
std::vector<TimedFix> ReadFixes(std::string_view text, int64_t startStampMs = -1);

// The side files NAME.gps and NAME.3gf (either path may be empty or name a missing file; files
// over 16 MiB are not read), fixes and samples in ascending time.
TelemetryTrack ReadSideFiles(const std::string& gpsPath, const std::string& sensorPath,
                             int64_t startStampMs = -1);

// The payloads of the video's top-level `free` boxes; false (track untouched) when none holds
// a `gps ` or `3gf ` box. Payloads over 16 MiB are not read.
bool ReadEmbedded(const Mp4File& file, ByteSource& source, TelemetryTrack& track);

} // namespace blackvue

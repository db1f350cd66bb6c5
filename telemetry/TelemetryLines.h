#pragma once

#include "telemetry/TelemetryTrack.h"

#include <array>
#include <cstdint>
#include <string>

// The text-channel lines of the camera's storage made from a telemetry track, so that a
// recording of another kind feeds the window the way a card's recording does.
namespace telemetrylines {

// 'G' and an RMC sentence ($GPRMC, with its checksum) of the fix: its UTC time and date (the
// fix keeps the time 9 hours ahead), position, speed in knots and course.
std::string GpsLine(const CGPSData& fix);

// The camera's G-sensor units per g: its raw byte b reads as 128 - b, and the sensor spans
// about ±2 g.
inline constexpr double kUnitsPerG = 64.0;

// 'M' and three raw bytes: 128 - value, kUnitsPerG values to the g, limited to 0 … 255.
std::array<uint8_t, 4> SensorLine(const TimedAcceleration& sample);

} // namespace telemetrylines

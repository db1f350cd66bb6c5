#pragma once

#include "TelemetryTrack.h"
#include "telemetry/SpeedUnit.h"

#include <string>

// Writes a recording's telemetry as CSV for spreadsheets: a header line, then one row per
// G-sensor sample and per fix in time order (samples first at equal times):
//   time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh
// kind is "gsensor" (x, y, z in g, three decimals), "fix" (a position the receiver reported)
// or "nofix" (status 'V'); lat and lon in degrees with seven decimals, speed in km/h with one.
// In miles the speed column is speed_mph, the speed converted. Lines end in LF.
//
// A track with a car's own data (car states) has one more kind of row, "car", one per state,
// and one column more per field of the car's message after those:
//   ...,speed_kmh,gear,accelerator_pct,brake,steering_deg,blinker_left,blinker_right,
//   assist,heading_deg,accel_x_mps2,accel_y_mps2,accel_z_mps2,frame
// A car row puts its position and speed in lat, lon and speed_kmh; gear is P, D, R or N,
// the flags 1 or 0, assist off, self-driving, autosteer or cruise; accelerations in m/s² with
// three decimals, angles and the pedal with one. A cell is empty where the message lacks
// the field. At equal times samples come first, then fixes, then car states.
class CsvWriter {
public:
    static std::string Write(const TelemetryTrack& track, SpeedUnit unit = SpeedUnit::kKmh);
};

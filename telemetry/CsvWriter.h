#pragma once

#include "TelemetryTrack.h"
#include "telemetry/SpeedUnit.h"

#include <string>

// Writes a recording's telemetry as CSV for spreadsheets: a header line, then one row per
// G-sensor sample and per fix in time order (samples first at equal times):
//   time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh
// kind is "gsensor" (x, y, z in g, three decimals), "fix" (a position the receiver reported)
// or "nofix" (status 'V'); lat and lon in degrees with seven decimals, speed in km/h with one.
// In miles the last column is speed_mph, the speed converted. Lines end in LF.
class CsvWriter {
public:
    static std::string Write(const TelemetryTrack& track, SpeedUnit unit = SpeedUnit::kKmh);
};

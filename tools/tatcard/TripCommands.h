#pragma once

#include "TrackCommands.h"

#include <cstdint>
#include <string>
#include <vector>

// tatcard's drive commands: the trips of a source (trips::Group over its listing with the
// gap given) and one trip's track. Trips are numbered from 1, the oldest first, as
// `tatcard trips` prints them; play --trip N takes the same numbers.

// trips SOURCE [--json] [--gap S] [--units kmh|mph]: each trip's start, length, recordings,
// distance, top and average speed (from its recordings' telemetry, fixes filtered), and
// whether it holds events; then its recordings. Text in the unit given (else the locale's);
// JSON always metric.
int TripsCommand(const std::vector<std::string>& args);

// gpx / csv SOURCE --trip N [--gap S] [OUT]: one track of the whole trip, in time order on the
// trip's time line (its recordings back to back), through the same writers as one recording.
int ExportTripTrack(const std::string& path, int trip, int64_t gapMs, const std::string& out,
                    TrackFormat format, SpeedUnit unit = SpeedUnit::kKmh);

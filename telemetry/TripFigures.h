#pragma once

#include "telemetry/TelemetryTrack.h"

#include <cstdint>

// The figures of a drive from its telemetry: the distance along the fixes FixFilter keeps,
// the duration, and the top and average speed. Stored and computed in metric units; the
// window and the tools convert for display (SpeedUnit). Plain values; any thread.
struct TripFigures {
    double distanceKm = 0;  // along the kept fixes (great-circle legs)
    int64_t durationMs = 0; // the drive's length (given: the sum of its recordings; < 0 as 0)
    double topSpeedKmh = 0; // the highest speed of a kept fix (the fix's own speed)
    double averageKmh = 0;  // distance / duration; 0 for a zero duration
    bool hasFixes = false;  // at least one kept fix

    // Figures of a track in time order (several recordings' tracks joined on one time axis).
    static TripFigures Of(const TelemetryTrack& track, int64_t durationMs);
};

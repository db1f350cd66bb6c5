#pragma once

#include "telemetry/TelemetryTrack.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The telemetry of a recording that is known whole before it plays (a dash-cam folder's, read
// from its files), looked up by play time for the status display: the fix and the G-sensor
// sample current at a time, the samples the graph shows then, and the route.
//
// Times are milliseconds of the recording, on the engine's play clock. What is current at t is
// the last item at or before t, so a seek either way lands on the right item at once and
// nothing depends on what was looked up before. Accelerations are in g as read, unrounded.
//
// Built once per recording, then only read: any number of threads may read it.
class TrackTimeline {
public:
    TrackTimeline() = default;
    // Takes the track; its lists are put in time order.
    explicit TrackTimeline(TelemetryTrack track);

    // The fix at or before timeMs, valid or not; null before the first fix.
    const TimedFix* FixAt(int64_t timeMs) const;
    // The last fix of the route (Route) at or before timeMs; null before the route's first.
    const TimedFix* RouteFixAt(int64_t timeMs) const;
    // The G-sensor sample at or before timeMs; null before the first.
    const TimedAcceleration* SampleAt(int64_t timeMs) const;
    // The car's own state (a car with built-in cameras) at or before timeMs; null before the
    // first and for a track without car states.
    const TimedCarState* CarStateAt(int64_t timeMs) const;

    // The samples the graph shows at timeMs, oldest first, one for each whole second of play
    // up to timeMs: for second s the sample at or before s × 1000 ms, so the newest is that of
    // second timeMs / 1000. Seconds before the first sample have none. At most `most`, the
    // newest; empty for a negative time.
    std::vector<TimedAcceleration> GraphSamples(int64_t timeMs, size_t most) const;

    // The fixes the map's route is drawn through, in time order: those FixFilter keeps (a
    // position, on the earth, within reach of the fix before).
    const std::vector<TimedFix>& Route() const { return m_route; }
    const TelemetryTrack& Track() const { return m_track; }

private:
    TelemetryTrack m_track;
    std::vector<TimedFix> m_route;
};

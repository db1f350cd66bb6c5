#pragma once

#include "telemetry/TelemetryTrack.h"

#include <cstdint>
#include <optional>
#include <vector>

// How far a camera's clock is from GPS time over one recording, for an evidence record: at
// each valid fix with a date, the camera's time then (the recording's start on its clock plus
// the fix's time into the recording) less the fix's UTC time moved into the camera's zone.
// The median of those, so that a late or stale fix does not move it.
//
// startLocalSeconds: the recording's start on the camera's clock (CivilTime::ToSeconds of the
// local time its name carries); zoneOffsetSeconds: the camera's zone east of UTC. Result in
// milliseconds (positive: the camera's clock is ahead); nullopt without a usable fix.
//
// Plain function; any thread.
std::optional<int64_t> CameraClockOffsetMs(int64_t startLocalSeconds, int64_t zoneOffsetSeconds,
                                           const std::vector<TimedFix>& fixes);

#pragma once

#include "clips/ClipPlan.h"
#include "telemetry/SpeedUnit.h"
#include "ui/logic/TrackTimeline.h"

#include <cstdint>
#include <string>

// The text a re-encoded clip carries in its lower-left corner, built as plain text (the filter
// graph draws it): the wall-clock time with its offset from UTC, the speed, the position, the
// recording's name and the G-sensor reading:
//
//   2024-03-05 09:08:14 +09:00   52 km/h
//   37.51872, 127.01234
//   20240305_090702_N   G x +0.02 y -0.10 z +0.98
//   gear D   accelerator 34 %   brake off   steering -12°   signal left   assist autosteer
//
// The last line only where the car recorded its own state (a car's front camera) within
// kTelemetryHoldMs; its speed then stands in the first line instead of the receiver's.
// The text belongs to a wall-clock second of a recording, so that it changes once a second:
// OverlaySecondAt tells which second a time of the clip's line falls in, and the text is that
// of the second's first moment.
//
// Plain functions; no state. The time asks the C library for the process's time zone (as
// evidence::IsoWallClock does), so no thread may change TZ meanwhile.
namespace clips {

// How long a fix or a G-sensor reading stays current after its time: older ones read as none.
inline constexpr int64_t kTelemetryHoldMs = 3000;

// A wall-clock second of one recording of the clip.
struct OverlaySecond {
    int part = -1;      // index into the plan's parts
    int64_t second = 0; // whole seconds from the recording's start
    int64_t lineMs = 0; // where that second begins on the plan's line
    bool operator==(const OverlaySecond&) const = default;
};

// The second a time of the plan's line (ms) falls in: of the part that plays then (the first
// part before its start; ClipPlan::PartAt), counted from the part's start. A plan without
// parts gives part -1, second 0 and lineMs 0.
OverlaySecond OverlaySecondAt(const ClipPlan& plan, int64_t lineMs);

// The overlay's text at a time of the plan's line (ms); the fix and the G-sensor reading are
// the timeline's latest at or before it, within kTelemetryHoldMs. Speeds read in `units`
// ("-- km/h" without a valid fix), the position to five decimals ("no GPS" without a valid
// fix), the G-sensor line "G --" without a reading. The time is the part's local start plus
// the time into it, with the zone's offset then ("2024-03-05 09:08:14 +09:00").
std::string OverlayText(const ClipPlan& plan, const TrackTimeline& telemetry, int64_t lineMs,
                        SpeedUnit units);

} // namespace clips

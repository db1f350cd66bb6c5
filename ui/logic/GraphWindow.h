#pragma once

#include "telemetry/TelemetryTrack.h"

#include <cstdint>
#include <vector>

class TrackTimeline;

// What the graph shows at a play time: the G-sensor axes and the speed over the window of
// `seconds` seconds that ends at the play time (not centred: the graph grows from its left
// line as playing goes on, and shows nothing ahead of the picture). One place per whole
// second, second timeMs / 1000 the newest; a place a second older lies one step further right,
// so with the graph's x span set to `seconds` (GraphModel::SetXSpan) the window fills the
// graph's width. Nothing depends on what was shown before: after a seek the window is that of
// the new time at once.
//
// Plain values. Times in milliseconds of the track's time line, accelerations in g, speeds in
// km/h.
struct GraphWindow {
    static constexpr int kSeconds = 60;
    // A fix older than this at a second's time gives that second no speed (the GPS was lost).
    static constexpr int64_t kFixStaleMs = 2000;

    // The newest second shown; -1 when the window is empty.
    int64_t lastSecond = -1;
    // TrackTimeline::GraphSamples for the window, oldest first: at most seconds + 1, the last
    // that of lastSecond; fewer near the start of the track (none before its first sample).
    std::vector<TimedAcceleration> samples;
    // One speed per second from max(0, lastSecond - seconds) to lastSecond, oldest first: the
    // speed of the valid fix at or before the second's time, NaN where there is none within
    // kFixStaleMs.
    std::vector<double> speedsKmh;
};

// The window at timeMs (seconds below 1 count as 1); empty for a negative time. Any thread
// that may read the track.
GraphWindow GraphWindowAt(const TrackTimeline& track, int64_t timeMs,
                          int seconds = GraphWindow::kSeconds);

#pragma once

#include "telemetry/CGPSData.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// The telemetry of one recording read at once from its files (side files or data embedded in
// the video), each item at its time in the recording. Plain values; whoever reads a track
// owns it, and it is handed between threads by copy or move only.

// One GPS fix, timeMs milliseconds after the recording's first picture.
struct TimedFix {
    int64_t timeMs = 0;
    CGPSData fix;
};

// One G-sensor reading, timeMs milliseconds after the recording's first picture; the
// acceleration on each axis in g (1.0 = the pull of gravity).
struct TimedAcceleration {
    int64_t timeMs = 0;
    double x = 0;
    double y = 0;
    double z = 0;
};

// Both lists in ascending time.
struct TelemetryTrack {
    std::vector<TimedFix> fixes;
    std::vector<TimedAcceleration> accelerations;
    bool Empty() const { return fixes.empty() && accelerations.empty(); }
    // Puts both lists in ascending time; items of the same time keep their order.
    void SortByTime() {
        std::stable_sort(fixes.begin(), fixes.end(),
                         [](const TimedFix& a, const TimedFix& b) { return a.timeMs < b.timeMs; });
        std::stable_sort(accelerations.begin(), accelerations.end(),
                         [](const TimedAcceleration& a, const TimedAcceleration& b) {
                             return a.timeMs < b.timeMs;
                         });
    }
};

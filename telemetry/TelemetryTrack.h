#pragma once

#include "telemetry/CGPSData.h"
#include "telemetry/CarState.h"

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

// Every list in ascending time. carStates are what a car with built-in cameras records about
// itself (speed, pedals, steering, signals, position) with each frame of its video.
struct TelemetryTrack {
    std::vector<TimedFix> fixes;
    std::vector<TimedAcceleration> accelerations;
    std::vector<TimedCarState> carStates;
    bool Empty() const { return fixes.empty() && accelerations.empty() && carStates.empty(); }
    // Puts every list in ascending time; items of the same time keep their order.
    void SortByTime() {
        std::stable_sort(
            carStates.begin(), carStates.end(),
            [](const TimedCarState& a, const TimedCarState& b) { return a.timeMs < b.timeMs; });
        std::stable_sort(fixes.begin(), fixes.end(),
                         [](const TimedFix& a, const TimedFix& b) { return a.timeMs < b.timeMs; });
        std::stable_sort(accelerations.begin(), accelerations.end(),
                         [](const TimedAcceleration& a, const TimedAcceleration& b) {
                             return a.timeMs < b.timeMs;
                         });
    }
};

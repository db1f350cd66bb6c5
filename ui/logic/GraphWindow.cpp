#include "GraphWindow.h"

#include "TrackTimeline.h"

#include <algorithm>
#include <cmath>

GraphWindow GraphWindowAt(const TrackTimeline& track, int64_t timeMs, int seconds) {
    GraphWindow window;
    if (timeMs < 0)
        return window;
    const int64_t span = std::max(seconds, 1);
    window.lastSecond = timeMs / 1000;
    window.samples = track.GraphSamples(timeMs, static_cast<size_t>(span + 1));
    const int64_t first = std::max<int64_t>(0, window.lastSecond - span);
    window.speedsKmh.reserve(static_cast<size_t>(window.lastSecond - first + 1));
    for (int64_t second = first; second <= window.lastSecond; ++second) {
        const int64_t at = second * 1000;
        const TimedFix* fix = track.FixAt(at);
        const bool current =
            fix != nullptr && fix->fix.valid != 0 && at - fix->timeMs <= GraphWindow::kFixStaleMs;
        window.speedsKmh.push_back(current ? fix->fix.GetSpeed() : std::nan(""));
    }
    return window;
}

#include "telemetry/ClockOffset.h"

#include "telemetry/FixMaker.h"

#include <algorithm>

std::optional<int64_t> CameraClockOffsetMs(int64_t startLocalSeconds, int64_t zoneOffsetSeconds,
                                           const std::vector<TimedFix>& fixes) {
    std::vector<int64_t> offsets;
    offsets.reserve(fixes.size());
    for (const TimedFix& timed : fixes) {
        if (timed.fix.valid != 1)
            continue;
        const std::optional<int64_t> utc = FixUtcSeconds(timed.fix);
        if (!utc)
            continue;
        const int64_t cameraMs = startLocalSeconds * 1000 + timed.timeMs;
        const int64_t gpsLocalMs = (*utc + zoneOffsetSeconds) * 1000;
        offsets.push_back(cameraMs - gpsLocalMs);
    }
    if (offsets.empty())
        return std::nullopt;
    const auto middle = offsets.begin() + static_cast<std::ptrdiff_t>(offsets.size() / 2);
    std::nth_element(offsets.begin(), middle, offsets.end());
    return *middle;
}

#include "CarRoute.h"

#include "FixMaker.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace carroute {

std::vector<TimedFix> FixesFromStates(const std::vector<TimedCarState>& states) {
    std::vector<TimedFix> fixes;
    FixMaker maker;
    std::optional<int64_t> lastMs;
    for (const TimedCarState& state : states) {
        if (!state.HasPosition())
            continue;
        if (lastMs && state.timeMs - *lastMs < kFixSpacingMs)
            continue;
        lastMs = state.timeMs;
        TimedFix fix;
        fix.timeMs = state.timeMs;
        fix.fix = maker.Make(UtcStamp{}, true, *state.latitude, *state.longitude,
                             state.speedMps.value_or(0.0) * 3.6, state.heading.value_or(0.0));
        fixes.push_back(fix);
    }
    return fixes;
}

void ApplySpeed(std::vector<TimedFix>& fixes, const std::vector<TimedCarState>& states) {
    std::vector<const TimedCarState*> timed;
    for (const TimedCarState& state : states)
        if (state.speedMps)
            timed.push_back(&state);
    if (timed.empty())
        return;
    for (TimedFix& fix : fixes) {
        const auto after = std::lower_bound(
            timed.begin(), timed.end(), fix.timeMs,
            [](const TimedCarState* state, int64_t ms) { return state->timeMs < ms; });
        const TimedCarState* nearest = nullptr;
        if (after != timed.end())
            nearest = *after;
        if (after != timed.begin() && (nearest == nullptr || fix.timeMs - (*(after - 1))->timeMs <
                                                                 nearest->timeMs - fix.timeMs))
            nearest = *(after - 1);
        if (nearest != nullptr && std::llabs(nearest->timeMs - fix.timeMs) <= kSpeedReachMs)
            fix.fix.speed = static_cast<double>(static_cast<float>(*nearest->speedMps * 3.6));
    }
}

void Merge(TelemetryTrack& track) {
    if (track.carStates.empty())
        return;
    if (track.fixes.empty())
        track.fixes = FixesFromStates(track.carStates);
    else
        ApplySpeed(track.fixes, track.carStates);
}

} // namespace carroute

#include "CarReadout.h"

#include "TrackTimeline.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kKmhPerMps = 3.6;

} // namespace

CarReadout CarReadout::Of(const TimedCarState* state, SpeedUnit unit) {
    CarReadout readout;
    if (state == nullptr)
        return readout;
    readout.shown = true;
    readout.speedKmh = std::max(state->speedMps.value_or(0.0), 0.0) * kKmhPerMps;
    const double inUnit = speedunit::Speed(readout.speedKmh, unit);
    readout.speedText = std::to_string(static_cast<int>(inUnit));
    readout.unitText = speedunit::SpeedName(unit);
    if (state->gear)
        readout.gear = CarGearName(*state->gear);
    readout.acceleratorPercent = static_cast<int>(
        std::lround(std::clamp(state->acceleratorPercent.value_or(0.0), 0.0, 100.0)));
    readout.brake = state->brake.value_or(false);
    const double steering = state->steeringDegrees.value_or(0.0);
    readout.steeringDegrees = std::isfinite(steering) ? steering : 0.0;
    readout.blinkerLeft = state->blinkerLeft.value_or(false);
    readout.blinkerRight = state->blinkerRight.value_or(false);
    if (state->assist && *state->assist != DriveAssist::kOff)
        readout.assist = DriveAssistName(*state->assist);
    return readout;
}

CarReadout CarReadout::At(const TrackTimeline* track, int64_t playMs, SpeedUnit unit) {
    return Of(track != nullptr ? track->CarStateAt(playMs) : nullptr, unit);
}

std::optional<double> CarReadout::SpeedKmhAt(const TrackTimeline* track, int64_t playMs) {
    const TimedCarState* state = track != nullptr ? track->CarStateAt(playMs) : nullptr;
    if (state == nullptr)
        return std::nullopt;
    return std::max(state->speedMps.value_or(0.0), 0.0) * kKmhPerMps;
}

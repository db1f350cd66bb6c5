#include "CarReadout.h"

#include "TrackTimeline.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kKmhPerMps = 3.6;
// Above any car's speed; keeps a damaged message's value a number the texts can hold.
constexpr double kMaxSpeedMps = 1000.0;

// A value the car sent, within [low, high]; zero for one it left out or that is not a number.
double Field(const std::optional<double>& value, double low, double high) {
    const double v = value.value_or(0.0);
    return std::isfinite(v) ? std::clamp(v, low, high) : 0.0;
}

} // namespace

CarReadout CarReadout::Of(const TimedCarState* state, SpeedUnit unit) {
    CarReadout readout;
    if (state == nullptr)
        return readout;
    readout.shown = true;
    readout.speedKmh = Field(state->speedMps, 0.0, kMaxSpeedMps) * kKmhPerMps;
    const double inUnit = speedunit::Speed(readout.speedKmh, unit);
    readout.speedText = std::to_string(static_cast<int>(inUnit));
    readout.unitText = speedunit::SpeedName(unit);
    if (state->gear)
        readout.gear = CarGearName(*state->gear);
    readout.acceleratorPercent =
        static_cast<int>(std::lround(Field(state->acceleratorPercent, 0.0, 100.0)));
    readout.brake = state->brake.value_or(false);
    readout.steeringDegrees = Field(state->steeringDegrees, -9999.0, 9999.0);
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
    return Field(state->speedMps, 0.0, kMaxSpeedMps) * kKmhPerMps;
}

#pragma once

#include "telemetry/CarState.h"
#include "telemetry/SpeedUnit.h"

#include <cstdint>
#include <optional>
#include <string>

class TrackTimeline;

// What the window's car readout shows of a car's own driving data (the state the car wrote
// with the picture at or before the play time, TrackTimeline::CarStateAt): the speed in the
// unit asked for, the gear, the accelerator and brake pedals, the steering wheel's angle, the
// turn signals and the driver-assist state.
//
// The car leaves out fields that hold zero: a missing speed, pedal, angle or signal reads as
// zero, off or released; a missing gear and assist state show nothing. A recording without
// car states (parked clips, other cameras) shows no readout at all.
//
// Plain values and functions; any thread.
struct CarReadout {
    bool shown = false;         // false: the readout is hidden, every other field empty
    double speedKmh = 0;        // the car's speedometer, km/h
    std::string speedText;      // "57", in the unit, truncated as the status line's
    std::string unitText;       // "km/h" or "mph"
    std::string gear;           // "P", "R", "N", "D"; empty when unknown
    int acceleratorPercent = 0; // 0 … 100, rounded
    bool brake = false;         // the brake pedal is pressed
    double steeringDegrees = 0; // the wheel's angle, positive clockwise (to the right)
    bool blinkerLeft = false;   // the left turn signal is lit
    bool blinkerRight = false;  // the right turn signal is lit
    std::string assist;         // "autosteer", "cruise", ...; empty when off or unknown
    bool operator==(const CarReadout&) const = default;

    // The readout of one state; a null state gives the hidden readout.
    static CarReadout Of(const TimedCarState* state, SpeedUnit unit);
    // The readout of a track at a play time (ms of the recording): its car state at or before
    // it; hidden for a null track, one without car states, and before the first state.
    static CarReadout At(const TrackTimeline* track, int64_t playMs, SpeedUnit unit);
    // The car's speed in km/h at a play time, for the status line's speed text (it replaces
    // the receiver's): nullopt where the track has no car state at or before the time.
    static std::optional<double> SpeedKmhAt(const TrackTimeline* track, int64_t playMs);
};

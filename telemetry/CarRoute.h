#pragma once

#include "CarState.h"
#include "TelemetryTrack.h"

#include <cstdint>
#include <vector>

// Puts a car's own data (its SEI states, telemetry/CarSeiReader.h) into the route and the
// speed that the map, the status line and the GPX file take from a track's fixes.
//
// Plain functions on values; any thread.
namespace carroute {

// Fixes are made at most this often from the car's states (it writes one per frame).
inline constexpr int64_t kFixSpacingMs = 100;
// A car state this close to a receiver's fix gives the fix its speed.
inline constexpr int64_t kSpeedReachMs = 500;

// One valid fix per kFixSpacingMs from the states that hold a position, at the state's
// time: its latitude and longitude, its speed in km/h (a state without a speed counts as
// standing still: the car leaves zero out), its heading as the course. The fixes carry no
// date (the car's message has no clock).
std::vector<TimedFix> FixesFromStates(const std::vector<TimedCarState>& states);

// Gives each fix the speed of the car state nearest to it in time, where that state lies
// within kSpeedReachMs and holds a speed: the car's speedometer is better than the
// receiver's. States in ascending time.
void ApplySpeed(std::vector<TimedFix>& fixes, const std::vector<TimedCarState>& states);

// Both into a track: without fixes, the car's positions make them; with fixes, the car's
// speed replaces theirs.
void Merge(TelemetryTrack& track);

} // namespace carroute

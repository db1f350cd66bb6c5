#pragma once
#include "telemetry/SpeedUnit.h"

#include <cstdint>
#include <string>

// The status display's numbers and texts while a recording plays.
namespace StatusText {

// "hh:mm:ss" of whole seconds (hours may pass 99); negative times read "00:00:00".
std::string TimeText(int64_t seconds);
// The position slider's maximum for an engine duration in milliseconds: whole seconds, 60 when
// that is 0 or less.
int64_t DurationSeconds(int64_t durationMs);
// The device volume of a volume slider position (0 … 99): the same level, position × 655.35
// truncated, on both 16-bit channels.
uint32_t DeviceVolume(int position);
// "%dKm/h" of a speed in km/h, truncated toward zero.
std::string SpeedText(double kmh);
// The same in a unit: "%dKm/h" for km/h (as above), "%dmph" of the speed in miles an hour,
// truncated toward zero.
std::string SpeedText(double kmh, SpeedUnit unit);
// How many G-sensor samples the graph shows at second t with n samples loaded.
int64_t GraphCount(int64_t t, int64_t n);

} // namespace StatusText

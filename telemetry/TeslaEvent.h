#pragma once

#include "TelemetryTrack.h"

#include <optional>
#include <string_view>

// The position a car's saved and sentry clips record in the event.json beside them:
// "est_lat" and "est_lon" (decimal degrees, as JSON numbers or strings). The file says where
// the event happened, not when in the clip, and its time stamp is local: the fix stands at
// the clip's start, valid, without a date.
//
// Any thread; no state.
namespace teslaevent {

// The fix of the file's text; nullopt when either key is missing, not a number, or off the
// earth. Only the first 64 KiB of text are looked at.
std::optional<TimedFix> ReadEventJson(std::string_view json);

} // namespace teslaevent

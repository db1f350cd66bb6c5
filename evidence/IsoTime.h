#pragma once

#include "storage/CivilTime.h"

#include <cstdint>
#include <string>

// The times of the evidence record as ISO 8601 text.
//
// Threads: no state of its own. The local forms ask the C library for the process's time zone
// (TZ), so no thread may change TZ while another formats a local time.
namespace evidence {

// A moment in UTC to the second: "2024-03-05T00:07:02Z".
std::string IsoUtcTime(int64_t unixSeconds);

// A moment in the process's local time to the millisecond, with the zone's offset from UTC at
// that moment: "2024-03-05T09:07:02.250+09:00" ("+00:00" for UTC).
std::string IsoLocalWithOffset(int64_t unixMilliseconds);

// The moment a time on the local clock names (mktime: daylight saving time as the process's zone
// has it then), in seconds since 1970-01-01 UTC; the time read as UTC where the C library cannot
// tell (out of its range).
int64_t LocalToUnixSeconds(const CivilTime& local);

// The moment offsetMs after localStart, a recording's start on the local clock (as its name
// says), in IsoLocalWithOffset's form. A clip that crosses a daylight-saving change gets the
// offset of each of its ends.
std::string IsoWallClock(const CivilTime& localStart, int64_t offsetMs);

} // namespace evidence

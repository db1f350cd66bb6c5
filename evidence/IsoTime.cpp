#include "IsoTime.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace evidence {

namespace {

// Floor division, so that moments before 1970 keep a millisecond of 0 to 999.
int64_t FloorDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

} // namespace

std::string IsoUtcTime(int64_t unixSeconds) {
    const CivilTime t = CivilTime::FromSeconds(unixSeconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::string IsoLocalWithOffset(int64_t unixMilliseconds) {
    const int64_t seconds = FloorDiv(unixMilliseconds, 1000);
    const int millisecond = static_cast<int>(unixMilliseconds - seconds * 1000);
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        // Out of the C library's range: say it in UTC rather than not at all.
        local = std::tm{};
        const CivilTime t = CivilTime::FromSeconds(seconds);
        local.tm_year = t.year - 1900;
        local.tm_mon = t.month - 1;
        local.tm_mday = t.day;
        local.tm_hour = t.hour;
        local.tm_min = t.minute;
        local.tm_sec = t.second;
    }
    const long offset = local.tm_gmtoff;
    const long offsetMinutes = (offset < 0 ? -offset : offset) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, millisecond, offset < 0 ? '-' : '+',
                  offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

int64_t LocalToUnixSeconds(const CivilTime& local) {
    std::tm parts{};
    parts.tm_year = local.year - 1900;
    parts.tm_mon = local.month - 1;
    parts.tm_mday = local.day;
    parts.tm_hour = local.hour;
    parts.tm_min = local.minute;
    parts.tm_sec = local.second;
    parts.tm_isdst = -1; // the zone decides whether daylight saving applies then
    errno = 0;
    const std::time_t moment = std::mktime(&parts);
    if (moment == static_cast<std::time_t>(-1) && errno != 0) // out of range
        return local.ToSeconds();
    return static_cast<int64_t>(moment);
}

std::string IsoWallClock(const CivilTime& localStart, int64_t offsetMs) {
    return IsoLocalWithOffset(LocalToUnixSeconds(localStart) * 1000 + offsetMs);
}

} // namespace evidence

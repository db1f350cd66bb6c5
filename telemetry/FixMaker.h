#pragma once

#include "CGPSData.h"

#include <cstdint>
#include <optional>

// The UTC date and time a receiver reports with a fix.
struct UtcStamp {
    int32_t year = 0; // full year, 2000 to 2099 (0: no date known)
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
};

// Makes CGPSData records from decoded binary fixes, with the fields as the RMC parser fills
// them: position in NMEA ddmm.mmmm (negative south and west), speed in km/h and course rounded
// to float precision, two-digit year, the hour as UTC + 9 and `time` as those fields read as
// local time. The record is complete.
//
// Keeps the last day's conversion so that many fixes of one day cost one mktime. One thread
// at a time.
class FixMaker {
public:
    // degrees: decimal, north and east positive. speedKmh, courseDegrees as measured.
    CGPSData Make(const UtcStamp& utc, bool valid, double latitudeDegrees, double longitudeDegrees,
                  double speedKmh, double courseDegrees);

    // The NMEA ddmm.mmmm value of decimal degrees: 37.51872 → 3731.1232.
    static double ToNmea(double degrees);

    // As Make, with the position already in NMEA ddmm.mmmm (negative south and west).
    CGPSData MakeFromNmea(const UtcStamp& utc, bool valid, double latitudeNmea,
                          double longitudeNmea, double speedKmh, double courseDegrees);

private:
    int64_t LocalSeconds(const CGPSData& fix);

    int32_t m_cachedYear = -1;
    int32_t m_cachedMonth = -1;
    int32_t m_cachedDay = -1;
    int64_t m_cachedMidnight = 0; // `time` of 00:00:00 (field hour 0) on the cached day
};

// The UTC date and time of seconds since 1970.
UtcStamp UtcStampFromSeconds(int64_t seconds);

// Seconds since 1970 of a UTC date and time; nullopt when it has no date.
std::optional<int64_t> SecondsFromUtcStamp(const UtcStamp& utc);

// Seconds since 1970 UTC of a fix's date and time fields (hour taken back from UTC + 9);
// nullopt when the fix carries no usable date.
std::optional<int64_t> FixUtcSeconds(const CGPSData& fix);

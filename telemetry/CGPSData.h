#pragma once

#include <cstdint>
#include <string_view>

// One GPS fix, parsed from an NMEA RMC sentence of the text channel.
//
// The parse mirrors the camera's firmware readers: the sentence is split at commas with runs
// of commas counting as one separator (empty fields are skipped, so later values move into
// earlier fields), at most 1,027 characters are looked at, and a sentence with missing fields
// yields a partly filled record with time 0. Fields that are empty or not numeric stay 0.
// Consumers check `valid` before using a position.
class CGPSData {
public:
    CGPSData() = default;
    // Parses the sentence (text from the leading 'G' or '$'; it ends at the view's end or at
    // the first zero byte, whichever comes first).
    CGPSData(std::string_view sentence, int32_t userValue);
    virtual ~CGPSData() = default;
    CGPSData(const CGPSData&) = default;
    CGPSData& operator=(const CGPSData&) = default;

    // Decimal degrees of an NMEA ddmm.mmmm value: 3731.1234 → 37.51872; -3.6 → -0.06.
    static double ToDegrees(double nmea);

    double LatitudeDegrees() const { return ToDegrees(latitude); }
    double LongitudeDegrees() const { return ToDegrees(longitude); }
    double GetSpeed() const { return speed; } // km/h

    // True when all nine fields after the sentence type were present.
    bool Complete() const { return m_complete; }

    int32_t valid = 0; // 1 when the status field is 'A'
    int32_t year = 0;  // two-digit year, 0 to 99 (00-69 → 20xx, 70-99 → 19xx)
    int32_t month = 0; // 1 to 12
    int32_t day = 0;
    int32_t hour = 0; // UTC hour + 9 (Korean time), 0 to 32; `time` carries the overflow
    int32_t minute = 0;
    int32_t second = 0;
    double latitude = 0;  // ddmm.mmmm, negative south
    double longitude = 0; // dddmm.mmmm, negative west
    double speed = 0;     // km/h (knots × 1.852, rounded to float precision)
    double course = 0;    // degrees as sent, rounded to float precision
    int64_t time = 0;     // seconds since 1970 of the fields above read as local time, no DST
    int32_t userValue = 0;

private:
    bool m_complete = false;
};

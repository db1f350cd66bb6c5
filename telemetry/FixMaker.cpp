#include "FixMaker.h"

#include <cmath>
#include <ctime>

namespace {

// Hours the fix's hour field runs ahead of UTC.
constexpr int32_t kHourOffset = 9;

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// The civil date of days from 1970-01-01.
void CivilFromDays(int64_t days, int32_t& year, int32_t& month, int32_t& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int32_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int32_t>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

double FloatPrecision(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 3.0e38)
        return 0;
    return static_cast<double>(static_cast<float>(value));
}

} // namespace

double FixMaker::ToNmea(double degrees) {
    const double whole = std::trunc(degrees);
    return whole * 100.0 + (degrees - whole) * 60.0;
}

int64_t FixMaker::LocalSeconds(const CGPSData& fix) {
    if (fix.year != m_cachedYear || fix.month != m_cachedMonth || fix.day != m_cachedDay) {
        std::tm broken{};
        broken.tm_mday = fix.day;
        broken.tm_mon = fix.month - 1;
        broken.tm_year = (fix.year + 30) % 100 + 70;
        broken.tm_isdst = 0;
        m_cachedMidnight = static_cast<int64_t>(std::mktime(&broken));
        m_cachedYear = fix.year;
        m_cachedMonth = fix.month;
        m_cachedDay = fix.day;
    }
    return m_cachedMidnight + int64_t{fix.hour} * 3600 + int64_t{fix.minute} * 60 + fix.second;
}

CGPSData FixMaker::Make(const UtcStamp& utc, bool valid, double latitudeDegrees,
                        double longitudeDegrees, double speedKmh, double courseDegrees) {
    return MakeFromNmea(utc, valid, std::isfinite(latitudeDegrees) ? ToNmea(latitudeDegrees) : 0,
                        std::isfinite(longitudeDegrees) ? ToNmea(longitudeDegrees) : 0, speedKmh,
                        courseDegrees);
}

CGPSData FixMaker::MakeFromNmea(const UtcStamp& utc, bool valid, double latitudeNmea,
                                double longitudeNmea, double speedKmh, double courseDegrees) {
    // A copy of a record parsed from a sentence with all its fields, then filled: it counts
    // as complete, as such a sentence does.
    static const CGPSData kComplete("$GPRMC,0,V,0,N,0,E,0,0,010100", 0);
    CGPSData fix = kComplete;
    fix.valid = valid ? 1 : 0;
    fix.year = utc.year > 0 ? utc.year % 100 : 0;
    fix.month = utc.month;
    fix.day = utc.day;
    fix.hour = utc.hour + kHourOffset;
    fix.minute = utc.minute;
    fix.second = utc.second;
    fix.latitude = std::isfinite(latitudeNmea) ? latitudeNmea : 0;
    fix.longitude = std::isfinite(longitudeNmea) ? longitudeNmea : 0;
    fix.speed = FloatPrecision(speedKmh);
    fix.course = FloatPrecision(courseDegrees);
    fix.time = utc.year > 0 ? LocalSeconds(fix) : 0;
    return fix;
}

std::optional<int64_t> FixUtcSeconds(const CGPSData& fix) {
    if (fix.month < 1 || fix.month > 12 || fix.day < 1 || fix.day > 31 || fix.year < 0 ||
        fix.year > 99)
        return std::nullopt;
    const int64_t year = fix.year < 70 ? 2000 + fix.year : 1900 + fix.year;
    const int64_t hour = int64_t{fix.hour} - kHourOffset;
    return DaysFromCivil(year, fix.month, fix.day) * 86400 + hour * 3600 +
           int64_t{fix.minute} * 60 + fix.second;
}

UtcStamp UtcStampFromSeconds(int64_t seconds) {
    UtcStamp utc;
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    CivilFromDays(days, utc.year, utc.month, utc.day);
    utc.hour = static_cast<int32_t>(rest / 3600);
    utc.minute = static_cast<int32_t>(rest / 60 % 60);
    utc.second = static_cast<int32_t>(rest % 60);
    return utc;
}

std::optional<int64_t> SecondsFromUtcStamp(const UtcStamp& utc) {
    if (utc.year <= 0 || utc.month < 1 || utc.month > 12 || utc.day < 1 || utc.day > 31)
        return std::nullopt;
    return DaysFromCivil(utc.year, utc.month, utc.day) * 86400 + int64_t{utc.hour} * 3600 +
           int64_t{utc.minute} * 60 + utc.second;
}

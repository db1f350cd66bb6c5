#pragma once

#include <cstdint>

// A calendar date and clock time (proleptic Gregorian, no time zone of its own).
struct CivilTime {
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const CivilTime&) const = default;

    // Seconds since 1970-01-01 00:00:00 of the same calendar.
    int64_t ToSeconds() const {
        const int64_t y = month <= 2 ? year - 1 : year;
        const int64_t era = (y >= 0 ? y : y - 399) / 400;
        const int64_t yoe = y - era * 400;
        const int64_t mp = (month + 9) % 12;
        const int64_t doy = (153 * mp + 2) / 5 + day - 1;
        const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        const int64_t days = era * 146097 + doe - 719468;
        return days * 86400 + hour * 3600 + minute * 60 + second;
    }

    static CivilTime FromSeconds(int64_t seconds) {
        int64_t days = seconds / 86400;
        int64_t rest = seconds % 86400;
        if (rest < 0) {
            rest += 86400;
            --days;
        }
        days += 719468;
        const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
        const int64_t doe = days - era * 146097;
        const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const int64_t mp = (5 * doy + 2) / 153;
        CivilTime t;
        t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
        t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
        t.hour = static_cast<int>(rest / 3600);
        t.minute = static_cast<int>(rest / 60 % 60);
        t.second = static_cast<int>(rest % 60);
        return t;
    }

    CivilTime Plus(int64_t seconds) const { return FromSeconds(ToSeconds() + seconds); }
};

#pragma once

#include "storage/CivilTime.h"

#include <cstdint>
#include <string>

// GPS lines of the text channel: NMEA RMC sentences along a drive through central Seoul.

// A position and motion as the receiver reports them.
struct GpsFix {
    double latitude = 0;  // decimal degrees, north positive
    double longitude = 0; // decimal degrees, east positive
    double speedKmh = 0;
    double course = 0; // degrees clockwise from north, 0 to 360
};

// "$GPRMC,hhmmss.sss,A,ddmm.mmmm,N,dddmm.mmmm,E,knots,course,ddmmyy,,,A*CS" for a fix, or
// "$GPRMC,hhmmss.sss,V,,,,,,,ddmmyy,,,N*CS" when the receiver has none; utc is the time of
// the sentence in UTC.
std::string RmcSentence(const CivilTime& utc, int milliseconds, const GpsFix* fix);

// A closed loop of roads from Seoul City Hall: north up Sejong-daero, east along Jong-ro to
// Dongdaemun, south, and back west along Eulji-ro.
class CCityLoop {
public:
    CCityLoop();
    // Length of the loop in metres.
    double Length() const { return m_length; }
    // The position and heading after travelling distance metres from City Hall (wrapping
    // round the loop).
    GpsFix At(double distance) const;

private:
    static constexpr int kPoints = 9;
    double m_segment[kPoints] = {}; // length of the leg from point i to i + 1
    double m_length = 0;
};

// A speed in km/h for second s of a drive: between 0 (waiting at lights) and 80, smooth
// from second to second; variant picks one of many speed patterns.
double DriveSpeed(uint32_t variant, int second);

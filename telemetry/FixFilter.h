#pragma once

#include "CGPSData.h"
#include "TelemetryTrack.h"

#include <cstdint>
#include <optional>
#include <vector>

// Tells the fixes a route may be drawn through from those it must not: a fix whose receiver
// had no position (status 'V'), one whose coordinates are off the earth, and one that lies
// further from the last kept fix than a car could have gone at kMaxSpeedKmh (plus
// kToleranceMetres of receiver noise). When the kept fix itself was the stray one, the next
// kAgreeingFixes fixes that agree with each other move the route there.
//
// Fed in time order; times in milliseconds on any one clock. Not thread-safe.
class FixFilter {
public:
    static constexpr double kMaxSpeedKmh = 300.0;
    static constexpr double kToleranceMetres = 30.0;
    static constexpr int kAgreeingFixes = 3;

    // True when the fix, at timeMs, belongs on the route; it then becomes the last kept fix.
    bool Accept(const CGPSData& fix, int64_t timeMs);
    // Forgets every fix seen.
    void Reset();

    // Great-circle distance in metres between two positions in degrees.
    static double DistanceMetres(double lat1, double lon1, double lat2, double lon2);

private:
    struct Point {
        double latitude = 0;
        double longitude = 0;
        int64_t timeMs = 0;
    };
    static bool Reachable(const Point& from, const Point& to);

    std::optional<Point> m_kept;
    // The last fix refused (when m_haveStray), and how many agree with it. A flag rather than
    // an optional: GCC 12 at -O3 takes the optional's value for uninitialized.
    Point m_stray;
    bool m_haveStray = false;
    int m_agreeing = 0;
};

// The fixes of the list that FixFilter keeps, in order.
std::vector<TimedFix> PlausibleFixes(const std::vector<TimedFix>& fixes);

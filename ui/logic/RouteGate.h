#pragma once

#include "GeoPoint.h"
#include "telemetry/FixFilter.h"

#include <cstdint>
#include <optional>

class CGPSData;

// Decides whether the newest fix of the open recording moves the map's marker and extends
// its route. The status refresh asks on every tick with the newest fix received so far, which
// is mostly the same fix again; each new position is judged once by FixFilter (at the play
// time it was first seen), and the verdict holds for the ticks that repeat it, so that a
// refused fix repeated over several ticks never counts as several fixes that agree.
//
// GUI thread only (the status presenter's).
class RouteGate {
public:
    // True when the fix at `position` (its degrees) belongs on the route.
    bool Draw(const CGPSData& fix, const GeoPoint& position, int64_t playMs);
    // A recording was opened: every fix is forgotten.
    void Reset();

private:
    FixFilter m_filter;
    std::optional<GeoPoint> m_judged; // the position last judged
    bool m_onRoute = false;           // and the verdict
};

#pragma once

#include <cmath>

// A position on the earth in decimal degrees (WGS 84), north and east positive.
struct GeoPoint {
    double latitude = 0;  // degrees, -90 to 90
    double longitude = 0; // degrees, -180 to 180
    bool operator==(const GeoPoint&) const = default;
};

// True when both coordinates are finite and inside their ranges. Anything else (a NaN from a
// damaged sentence, 99.99 degrees from a garbled field) must never reach the map.
inline bool IsOnEarth(const GeoPoint& point) {
    return std::isfinite(point.latitude) && std::isfinite(point.longitude) &&
           std::fabs(point.latitude) <= 90.0 && std::fabs(point.longitude) <= 180.0;
}

#pragma once

#include "GeoPoint.h"

#include <optional>

// The newest GPS fix of the open recording as the status refresh sees it.
struct NewestFix {
    bool valid = false; // the receiver reported a position ('A' status)
    GeoPoint position;  // degrees
};

// What one status refresh does with the map.
struct MapRefresh {
    bool moveMarker = false; // move the marker to position and extend the route with it
    bool revealMap = false;  // enable the map and its button; a hidden map takes the small slot
    GeoPoint position;       // degrees
    bool operator==(const MapRefresh&) const = default;
};

// The map step of one status refresh, run on every tick with the newest fix received so far
// (nullopt before the first). The map follows the newest fix, not the frame on screen. A newest
// fix that is not valid leaves the map as it is, even when earlier fixes were valid; so does a
// fix marked valid whose coordinates are not on the earth (a garbled sentence).
MapRefresh MapRefreshFor(const std::optional<NewestFix>& newest);

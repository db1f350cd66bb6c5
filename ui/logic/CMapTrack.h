#pragma once

#include "GeoPoint.h"

#include <optional>
#include <vector>

// What the map page should show for the open recording: the marker's position and the route
// driven so far. The map view keeps it so that a page that is still loading, or loaded again,
// gets the whole route and not just the points that arrive after it is ready.
//
// Points are compared as the page receives them, to the microdegree.
// Not thread-safe; the map view uses it on the GUI thread only.
class CMapTrack {
public:
    void Clear();

    // False (and nothing kept) when the point is not on the earth.
    bool SetMarker(const GeoPoint& point);

    // Appends the point to the route. False when it is not on the earth or equals the last
    // point (the window sends the newest fix on every tick, mostly the same one).
    bool AddRoutePoint(const GeoPoint& point);

    // Empties the route; the marker stays.
    void ClearRoute() { m_route.clear(); }

    const std::optional<GeoPoint>& Marker() const { return m_marker; }
    const std::vector<GeoPoint>& Route() const { return m_route; }

private:
    std::optional<GeoPoint> m_marker;
    std::vector<GeoPoint> m_route;
};

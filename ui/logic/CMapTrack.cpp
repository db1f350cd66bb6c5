#include "CMapTrack.h"

#include "MapScript.h"

namespace {

bool SameAsSent(const GeoPoint& a, const GeoPoint& b) {
    return FormatCoordinate(a.latitude) == FormatCoordinate(b.latitude) &&
           FormatCoordinate(a.longitude) == FormatCoordinate(b.longitude);
}

} // namespace

void CMapTrack::Clear() {
    m_marker.reset();
    m_route.clear();
}

bool CMapTrack::SetMarker(const GeoPoint& point) {
    if (!IsOnEarth(point))
        return false;
    m_marker = point;
    return true;
}

bool CMapTrack::AddRoutePoint(const GeoPoint& point) {
    if (!IsOnEarth(point) || (!m_route.empty() && SameAsSent(m_route.back(), point)))
        return false;
    m_route.push_back(point);
    return true;
}

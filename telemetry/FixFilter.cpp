#include "FixFilter.h"

#include <cmath>

namespace {
constexpr double kEarthRadiusMetres = 6371008.8;
constexpr double kPi = 3.14159265358979323846;
} // namespace

double FixFilter::DistanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double toRadians = kPi / 180.0;
    const double dLat = (lat2 - lat1) * toRadians;
    const double dLon = (lon2 - lon1) * toRadians;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1 * toRadians) * std::cos(lat2 * toRadians) * std::sin(dLon / 2) *
                         std::sin(dLon / 2);
    return 2 * kEarthRadiusMetres * std::asin(std::sqrt(std::fmin(1.0, a)));
}

bool FixFilter::Reachable(const Point& from, const Point& to) {
    const double seconds = std::fabs(static_cast<double>(to.timeMs - from.timeMs)) / 1000.0;
    const double allowed = kMaxSpeedKmh / 3.6 * seconds + kToleranceMetres;
    return DistanceMetres(from.latitude, from.longitude, to.latitude, to.longitude) <= allowed;
}

bool FixFilter::Accept(const CGPSData& fix, int64_t timeMs) {
    if (fix.valid != 1)
        return false;
    const Point point{fix.LatitudeDegrees(), fix.LongitudeDegrees(), timeMs};
    if (!std::isfinite(point.latitude) || !std::isfinite(point.longitude) ||
        std::fabs(point.latitude) > 90.0 || std::fabs(point.longitude) > 180.0)
        return false;
    if (!m_kept || Reachable(*m_kept, point)) {
        m_kept = point;
        m_haveStray = false;
        m_agreeing = 0;
        return true;
    }
    if (m_haveStray && Reachable(m_stray, point))
        ++m_agreeing;
    else
        m_agreeing = 1;
    m_stray = point;
    m_haveStray = true;
    if (m_agreeing < kAgreeingFixes)
        return false;
    m_kept = point;
    m_haveStray = false;
    m_agreeing = 0;
    return true;
}

void FixFilter::Reset() {
    m_kept.reset();
    m_haveStray = false;
    m_agreeing = 0;
}

std::vector<TimedFix> PlausibleFixes(const std::vector<TimedFix>& fixes) {
    FixFilter filter;
    std::vector<TimedFix> kept;
    kept.reserve(fixes.size());
    for (const TimedFix& fix : fixes)
        if (filter.Accept(fix.fix, fix.timeMs))
            kept.push_back(fix);
    return kept;
}

#include "TripFigures.h"

#include "FixFilter.h"

#include <algorithm>
#include <cmath>

TripFigures TripFigures::Of(const TelemetryTrack& track, int64_t durationMs) {
    TripFigures figures;
    figures.durationMs = std::max<int64_t>(durationMs, 0);
    const std::vector<TimedFix> kept = PlausibleFixes(track.fixes);
    figures.hasFixes = !kept.empty();
    double metres = 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        const CGPSData& fix = kept[i].fix;
        if (std::isfinite(fix.GetSpeed()))
            figures.topSpeedKmh = std::max(figures.topSpeedKmh, fix.GetSpeed());
        if (i > 0) {
            const CGPSData& before = kept[i - 1].fix;
            metres += FixFilter::DistanceMetres(before.LatitudeDegrees(), before.LongitudeDegrees(),
                                                fix.LatitudeDegrees(), fix.LongitudeDegrees());
        }
    }
    figures.distanceKm = metres / 1000.0;
    if (figures.durationMs > 0)
        figures.averageKmh = figures.distanceKm / (static_cast<double>(figures.durationMs) / 3.6e6);
    return figures;
}

#include "TripRows.h"

#include <algorithm>
#include <cstdio>

namespace TripRows {

std::string LengthText(int64_t lengthMs) {
    const auto seconds = static_cast<long long>(std::max<int64_t>(lengthMs, 0) / 1000);
    char text[40];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds % 3600 / 60,
                      seconds % 60);
    else
        std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

std::string DistanceText(double km, SpeedUnit unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f %s", speedunit::Distance(km, unit),
                  speedunit::DistanceName(unit));
    return text;
}

TripRow RowOf(const CivilTime& start, int64_t lengthMs, size_t recordings,
              std::optional<double> distanceKm, SpeedUnit unit, bool holdsEvents) {
    TripRow row;
    row.start = RecordingList::DateText(start);
    row.length = LengthText(lengthMs);
    row.count = std::to_string(recordings);
    if (distanceKm)
        row.distance = DistanceText(*distanceKm, unit);
    row.holdsEvents = holdsEvents;
    return row;
}

std::string PlayLine(const std::string& name, int64_t wallSeconds, const TripFigures* figures,
                     SpeedUnit unit) {
    std::string line = name;
    if (wallSeconds >= 0)
        line += "  " + RecordingList::DateText(CivilTime::FromSeconds(wallSeconds));
    if (figures != nullptr) {
        line += "  |  trip " + DistanceText(figures->distanceKm, unit);
        if (figures->hasFixes) {
            char speeds[96];
            std::snprintf(speeds, sizeof speeds, ", top %.0f %s, average %.0f %s",
                          speedunit::Speed(figures->topSpeedKmh, unit), speedunit::SpeedName(unit),
                          speedunit::Speed(figures->averageKmh, unit), speedunit::SpeedName(unit));
            line += speeds;
        }
    }
    return line;
}

} // namespace TripRows

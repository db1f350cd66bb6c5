#pragma once

#include "RecordingList.h"
#include "storage/CivilTime.h"
#include "telemetry/SpeedUnit.h"
#include "telemetry/TripFigures.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the recording list's trip view shows of one trip (a drive's recordings played as one):
// the texts of its own row and the rows of its recordings. Plain values.
struct TripRow {
    std::string start;        // the first recording's local start, "YYYY.MM.DD hh:mm:ss"
    std::string length;       // "mm:ss", or "h:mm:ss" from an hour on
    std::string count;        // how many recordings, "3"
    std::string distance;     // "12.3 km", "7.6 mi"; empty when unknown (no fixes)
    bool holdsEvents = false; // an event recording is among them
    std::vector<RecordingList::Row> members; // in play order
};

namespace TripRows {

// "mm:ss" of a length in milliseconds (whole seconds, rounded down; negative reads "00:00"),
// "h:mm:ss" from an hour on.
std::string LengthText(int64_t lengthMs);
// "12.3 km" or "7.6 mi": the distance in the unit with one decimal.
std::string DistanceText(double km, SpeedUnit unit);
// The row's texts; members are left empty for the caller to fill. distanceKm: nothing when the
// trip has no fixes.
TripRow RowOf(const CivilTime& start, int64_t lengthMs, size_t recordings,
              std::optional<double> distanceKm, SpeedUnit unit, bool holdsEvents);

// The line that tells what plays: the recording's name and the wall-clock time at the play
// position ("20240305_090702_N  2024.03.05 09:07:32"; the time left out when wallSeconds < 0),
// and for a drive its figures ("  |  trip 12.3 km, top 81 km/h, average 46 km/h"; the speeds
// left out without fixes).
std::string PlayLine(const std::string& name, int64_t wallSeconds, const TripFigures* figures,
                     SpeedUnit unit);

} // namespace TripRows

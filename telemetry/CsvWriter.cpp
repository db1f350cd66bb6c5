#include "CsvWriter.h"

#include <cmath>
#include <cstdio>

namespace {

// A number as printed, or nothing for one that is not finite.
void Append(std::string& out, int decimals, double value) {
    if (!std::isfinite(value))
        return;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    out += text;
}

} // namespace

std::string CsvWriter::Write(const TelemetryTrack& track, SpeedUnit unit) {
    std::string out = unit == SpeedUnit::kMph ? "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_mph\n"
                                              : "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh\n";
    out.reserve(out.size() + (track.fixes.size() + track.accelerations.size()) * 48);
    size_t f = 0;
    size_t a = 0;
    char time[32];
    while (f < track.fixes.size() || a < track.accelerations.size()) {
        const bool sample =
            a < track.accelerations.size() &&
            (f == track.fixes.size() || track.accelerations[a].timeMs <= track.fixes[f].timeMs);
        if (sample) {
            const TimedAcceleration& s = track.accelerations[a++];
            std::snprintf(time, sizeof time, "%lld", static_cast<long long>(s.timeMs));
            out += time;
            out += ",gsensor,";
            Append(out, 3, s.x);
            out += ',';
            Append(out, 3, s.y);
            out += ',';
            Append(out, 3, s.z);
            out += ",,,\n";
        } else {
            const TimedFix& fix = track.fixes[f++];
            std::snprintf(time, sizeof time, "%lld", static_cast<long long>(fix.timeMs));
            out += time;
            out += fix.fix.valid == 1 ? ",fix,,,," : ",nofix,,,,";
            Append(out, 7, fix.fix.LatitudeDegrees());
            out += ',';
            Append(out, 7, fix.fix.LongitudeDegrees());
            out += ',';
            Append(out, 1, speedunit::Speed(fix.fix.GetSpeed(), unit));
            out += '\n';
        }
    }
    return out;
}

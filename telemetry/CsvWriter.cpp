#include "CsvWriter.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace {

// A number as printed, or nothing for one that is not finite.
void Append(std::string& out, int decimals, double value) {
    if (!std::isfinite(value))
        return;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    out += text;
}

// The car's fields after the shared columns, empty where the state lacks one.
void AppendCarFields(std::string& out, const TimedCarState& state) {
    const auto flag = [&out](const std::optional<bool>& value) {
        out += ',';
        if (value)
            out += *value ? '1' : '0';
    };
    const auto number = [&out](int decimals, const std::optional<double>& value) {
        out += ',';
        if (value)
            Append(out, decimals, *value);
    };
    out += ',';
    if (state.gear)
        out += CarGearName(*state.gear);
    number(1, state.acceleratorPercent);
    flag(state.brake);
    number(1, state.steeringDegrees);
    flag(state.blinkerLeft);
    flag(state.blinkerRight);
    out += ',';
    if (state.assist)
        out += DriveAssistName(*state.assist);
    number(1, state.heading);
    number(3, state.accelX);
    number(3, state.accelY);
    number(3, state.accelZ);
    out += ',';
    if (state.frameNumber)
        out += std::to_string(*state.frameNumber);
}

constexpr const char* kCarColumns = ",gear,accelerator_pct,brake,steering_deg,blinker_left,"
                                    "blinker_right,assist,heading_deg,accel_x_mps2,accel_y_mps2,"
                                    "accel_z_mps2,frame";
constexpr const char* kEmptyCarColumns = ",,,,,,,,,,,,";

} // namespace

std::string CsvWriter::Write(const TelemetryTrack& track, SpeedUnit unit) {
    const bool car = !track.carStates.empty();
    std::string out = unit == SpeedUnit::kMph ? "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_mph"
                                              : "time_ms,kind,x_g,y_g,z_g,lat,lon,speed_kmh";
    if (car)
        out += kCarColumns;
    out += '\n';
    out.reserve(out.size() + (track.fixes.size() + track.accelerations.size()) * 48 +
                track.carStates.size() * 96);
    size_t f = 0;
    size_t a = 0;
    size_t c = 0;
    char time[32];
    constexpr int64_t kNever = INT64_MAX;
    while (f < track.fixes.size() || a < track.accelerations.size() || c < track.carStates.size()) {
        const int64_t sampleMs =
            a < track.accelerations.size() ? track.accelerations[a].timeMs : kNever;
        const int64_t fixMs = f < track.fixes.size() ? track.fixes[f].timeMs : kNever;
        const int64_t carMs = c < track.carStates.size() ? track.carStates[c].timeMs : kNever;
        if (a < track.accelerations.size() && sampleMs <= fixMs && sampleMs <= carMs) {
            const TimedAcceleration& s = track.accelerations[a++];
            std::snprintf(time, sizeof time, "%lld", static_cast<long long>(s.timeMs));
            out += time;
            out += ",gsensor,";
            Append(out, 3, s.x);
            out += ',';
            Append(out, 3, s.y);
            out += ',';
            Append(out, 3, s.z);
            out += ",,,";
            if (car)
                out += kEmptyCarColumns;
        } else if (f < track.fixes.size() && fixMs <= carMs) {
            const TimedFix& fix = track.fixes[f++];
            std::snprintf(time, sizeof time, "%lld", static_cast<long long>(fix.timeMs));
            out += time;
            out += fix.fix.valid == 1 ? ",fix,,,," : ",nofix,,,,";
            Append(out, 7, fix.fix.LatitudeDegrees());
            out += ',';
            Append(out, 7, fix.fix.LongitudeDegrees());
            out += ',';
            Append(out, 1, speedunit::Speed(fix.fix.GetSpeed(), unit));
            if (car)
                out += kEmptyCarColumns;
        } else {
            const TimedCarState& state = track.carStates[c++];
            std::snprintf(time, sizeof time, "%lld", static_cast<long long>(state.timeMs));
            out += time;
            out += ",car,,,,";
            if (state.HasPosition()) {
                Append(out, 7, *state.latitude);
                out += ',';
                Append(out, 7, *state.longitude);
            } else {
                out += ',';
            }
            out += ',';
            if (state.speedMps)
                Append(out, 1, speedunit::Speed(*state.speedMps * 3.6, unit));
            AppendCarFields(out, state);
        }
        out += '\n';
    }
    return out;
}

#include "TelemetryLines.h"

#include "NmeaChecksum.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace telemetrylines {

std::string GpsLine(const CGPSData& fix) {
    const int hour = ((fix.hour - 9) % 24 + 24) % 24;
    char body[160];
    if (fix.valid == 0) {
        std::snprintf(body, sizeof body, "GPRMC,%02d%02d%02d.00,V,,,,,,,%02d%02d%02d,,,N", hour,
                      fix.minute % 100, fix.second % 100, fix.day % 100, fix.month % 100,
                      fix.year % 100);
    } else {
        std::snprintf(body, sizeof body,
                      "GPRMC,%02d%02d%02d.00,A,%09.4f,%c,%010.4f,%c,%.2f,%.2f,%02d%02d%02d,,,A",
                      hour, fix.minute % 100, fix.second % 100, std::fabs(fix.latitude),
                      fix.latitude < 0 ? 'S' : 'N', std::fabs(fix.longitude),
                      fix.longitude < 0 ? 'W' : 'E', fix.speed / 1.852, fix.course, fix.day % 100,
                      fix.month % 100, fix.year % 100);
    }
    return "G" + nmea::WithChecksum(body);
}

std::array<uint8_t, 4> SensorLine(const TimedAcceleration& sample) {
    std::array<uint8_t, 4> line{'M', 128, 128, 128};
    const double axes[3] = {sample.x, sample.y, sample.z};
    for (size_t i = 0; i < 3; ++i) {
        const double value = std::isfinite(axes[i]) ? axes[i] * kUnitsPerG : 0.0;
        line[i + 1] = static_cast<uint8_t>(std::clamp(128.0 - std::round(value), 0.0, 255.0));
    }
    return line;
}

} // namespace telemetrylines

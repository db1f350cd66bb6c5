#include "StatusText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace StatusText {

std::string TimeText(int64_t seconds) {
    const int64_t t = std::max<int64_t>(seconds, 0);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(t / 3600),
                  static_cast<long long>(t % 3600 / 60), static_cast<long long>(t % 60));
    return text;
}

int64_t DurationSeconds(int64_t durationMs) {
    const int64_t seconds = durationMs / 1000;
    return seconds <= 0 ? 60 : seconds;
}

uint32_t DeviceVolume(int position) {
    const int p = std::clamp(position, 0, 99);
    const auto level = static_cast<uint32_t>(p * 65535 / 100);
    return level + level * 65536u;
}

namespace {

// The whole part of a speed (toward zero; not a number reads 0, the rest held to ±1e6).
std::string WholeSpeed(double speed) {
    if (!std::isfinite(speed))
        speed = 0;
    const double clamped = std::clamp(speed, -1e6, 1e6);
    return std::to_string(static_cast<int>(std::trunc(clamped)));
}

} // namespace

std::string SpeedText(double kmh) {
    return WholeSpeed(kmh) + "Km/h";
}

std::string SpeedText(double kmh, SpeedUnit unit) {
    if (unit == SpeedUnit::kKmh)
        return SpeedText(kmh);
    return WholeSpeed(speedunit::Speed(kmh, unit)) + speedunit::SpeedName(unit);
}

int64_t GraphCount(int64_t t, int64_t n) {
    if (n <= 0)
        return 0;
    return std::clamp<int64_t>(t, 0, n);
}

} // namespace StatusText

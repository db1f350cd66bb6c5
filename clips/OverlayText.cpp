#include "clips/OverlayText.h"

#include "evidence/IsoTime.h"
#include "ui/logic/CarReadout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace clips {

namespace {

// "2024-03-05 09:08:14 +09:00" of IsoWallClock's "2024-03-05T09:08:14.250+09:00": the date, the
// whole second and the offset.
std::string WallClockText(const CivilTime& localStart, int64_t offsetMs) {
    const std::string iso = evidence::IsoWallClock(localStart, offsetMs);
    const size_t t = iso.find('T');
    const size_t dot = iso.find('.', t == std::string::npos ? 0 : t);
    if (t == std::string::npos || dot == std::string::npos || dot + 4 > iso.size())
        return iso;
    return iso.substr(0, t) + ' ' + iso.substr(t + 1, dot - t - 1) + ' ' + iso.substr(dot + 4);
}

// "+0.02", never "-0.00".
std::string Axis(double g) {
    double shown = std::round(g * 100.0) / 100.0;
    if (shown == 0.0 || !std::isfinite(shown))
        shown = 0.0;
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f", shown);
    return text;
}

// The car's line from its readout: gear, pedals, steering, turn signals and driver assist.
// The car leaves out fields that hold zero, so a missing gear reads as park and a missing
// assist state as off.
std::string CarLine(const CarReadout& car) {
    const char* signal = car.blinkerLeft && car.blinkerRight ? "both"
                         : car.blinkerLeft                   ? "left"
                         : car.blinkerRight                  ? "right"
                                                             : "off";
    char line[160];
    std::snprintf(
        line, sizeof line,
        "gear %s   accelerator %d %%   brake %s   steering %+d\u00b0   signal %s   assist %s",
        car.gear.empty() ? CarGearName(CarGear::kPark) : car.gear.c_str(), car.acceleratorPercent,
        car.brake ? "on" : "off", static_cast<int>(std::lround(car.steeringDegrees)), signal,
        car.assist.empty() ? DriveAssistName(DriveAssist::kOff) : car.assist.c_str());
    return line;
}

template <typename Item> bool Current(const Item* item, int64_t timeMs) {
    return item != nullptr && timeMs - item->timeMs <= kTelemetryHoldMs;
}

} // namespace

OverlaySecond OverlaySecondAt(const ClipPlan& plan, int64_t lineMs) {
    OverlaySecond at;
    if (plan.parts.empty())
        return at;
    const int k = plan.PartAt(lineMs);
    at.part = k < 0 ? 0 : k;
    const ClipPart& part = plan.parts[static_cast<size_t>(at.part)];
    const int64_t into = lineMs - part.lineStartMs;
    // Floor division: a time before the first part's start lies in its second -1, -2, ...
    at.second = into >= 0 ? into / 1000 : -((-into + 999) / 1000);
    at.lineMs = part.lineStartMs + at.second * 1000;
    return at;
}

std::string OverlayText(const ClipPlan& plan, const TrackTimeline& telemetry, int64_t lineMs,
                        SpeedUnit units) {
    std::string clock;
    std::string name;
    const int k = plan.parts.empty() ? -1 : std::max(plan.PartAt(lineMs), 0);
    if (k >= 0) {
        const ClipPart& part = plan.parts[static_cast<size_t>(k)];
        clock = WallClockText(part.localStart, lineMs - part.lineStartMs);
        name = part.recording;
    }

    const TimedFix* fix = telemetry.FixAt(lineMs);
    const bool located = Current(fix, lineMs) && fix->fix.valid != 0;
    const TimedCarState* state = telemetry.CarStateAt(lineMs);
    const CarReadout car = CarReadout::Of(Current(state, lineMs) ? state : nullptr, units);
    char speed[48];
    if (car.shown) // the car's own speed, where it tells one, before the receiver's
        std::snprintf(speed, sizeof speed, "%lld %s",
                      static_cast<long long>(std::llround(speedunit::Speed(car.speedKmh, units))),
                      car.unitText.c_str());
    else if (located)
        std::snprintf(speed, sizeof speed, "%lld %s",
                      static_cast<long long>(speedunit::Speed(fix->fix.GetSpeed(), units)),
                      speedunit::SpeedName(units));
    else
        std::snprintf(speed, sizeof speed, "-- %s", speedunit::SpeedName(units));
    char place[64];
    if (located)
        std::snprintf(place, sizeof place, "%.5f, %.5f", fix->fix.LatitudeDegrees(),
                      fix->fix.LongitudeDegrees());
    else
        std::snprintf(place, sizeof place, "no GPS");

    const TimedAcceleration* g = telemetry.SampleAt(lineMs);
    const std::string forces = Current(g, lineMs)
                                   ? "G x " + Axis(g->x) + " y " + Axis(g->y) + " z " + Axis(g->z)
                                   : std::string("G --");

    std::string text = clock;
    text += "   ";
    text += speed;
    text += '\n';
    text += place;
    text += '\n';
    text += name;
    text += "   ";
    text += forces;
    if (car.shown) {
        text += '\n';
        text += CarLine(car);
    }
    return text;
}

} // namespace clips

#include "GpxWriter.h"

#include "FixFilter.h"
#include "FixMaker.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // Control characters are not allowed in XML 1.0.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                out += c;
        }
    }
    return out;
}

// The car state at exactly timeMs (the states are in ascending time); null when none.
const TimedCarState* StateAt(const std::vector<TimedCarState>& states, int64_t timeMs) {
    const auto at =
        std::lower_bound(states.begin(), states.end(), timeMs,
                         [](const TimedCarState& state, int64_t ms) { return state.timeMs < ms; });
    return at != states.end() && at->timeMs == timeMs ? &*at : nullptr;
}

// The car's fields of one point: its heading into the Garmin extension, the rest into ours.
void AppendCar(std::string& out, const TimedCarState& state) {
    char text[64];
    if (state.heading) {
        std::snprintf(text, sizeof text, "<gpxtpx:course>%.1f</gpxtpx:course>", *state.heading);
        out += text;
    }
    out += "</gpxtpx:TrackPointExtension><tatv:car>";
    const auto element = [&out](const char* name, const std::string& value) {
        out += std::string("<tatv:") + name + ">" + value + "</tatv:" + name + ">";
    };
    const auto number = [&element](const char* name, const std::optional<double>& value) {
        if (!value)
            return;
        char digits[32];
        std::snprintf(digits, sizeof digits, "%.1f", *value);
        element(name, digits);
    };
    const auto flag = [&element](const char* name, const std::optional<bool>& value) {
        if (value)
            element(name, *value ? "1" : "0");
    };
    if (state.gear)
        element("gear", CarGearName(*state.gear));
    number("accelerator", state.acceleratorPercent);
    flag("brake", state.brake);
    number("steering", state.steeringDegrees);
    flag("blinkerLeft", state.blinkerLeft);
    flag("blinkerRight", state.blinkerRight);
    if (state.assist)
        element("assist", DriveAssistName(*state.assist));
    out += "</tatv:car>";
}

} // namespace

size_t GpxWriter::PointCount(const TelemetryTrack& track) {
    return PlausibleFixes(track.fixes).size();
}

std::string GpxWriter::Write(const TelemetryTrack& track, std::string_view name) {
    const bool car = !track.carStates.empty();
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"tatview\" xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
        "     xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\"";
    if (car)
        out += "\n     xmlns:tatv=\"urn:tatview:car:1\"";
    out += ">\n  <trk>\n    <name>" + Escaped(name) + "</name>\n    <trkseg>\n";
    char line[160];
    for (const TimedFix& timed : PlausibleFixes(track.fixes)) {
        const CGPSData& fix = timed.fix;
        std::snprintf(line, sizeof line, "      <trkpt lat=\"%.7f\" lon=\"%.7f\">",
                      fix.LatitudeDegrees(), fix.LongitudeDegrees());
        out += line;
        if (const std::optional<int64_t> seconds = FixUtcSeconds(fix)) {
            const UtcStamp utc = UtcStampFromSeconds(*seconds);
            std::snprintf(line, sizeof line, "<time>%04d-%02d-%02dT%02d:%02d:%02dZ</time>",
                          utc.year, utc.month, utc.day, utc.hour, utc.minute, utc.second);
            out += line;
        }
        std::snprintf(line, sizeof line,
                      "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>%.2f</gpxtpx:speed>",
                      fix.GetSpeed() / 3.6);
        out += line;
        const TimedCarState* state = car ? StateAt(track.carStates, timed.timeMs) : nullptr;
        if (state != nullptr)
            AppendCar(out, *state);
        else
            out += "</gpxtpx:TrackPointExtension>";
        out += "</extensions></trkpt>\n";
    }
    out += "    </trkseg>\n  </trk>\n</gpx>\n";
    return out;
}

fileio::Result GpxWriter::WriteFile(const TelemetryTrack& track, std::string_view name,
                                    const std::string& path) {
    const std::string document = Write(track, name);
    return fileio::ReplaceFile(path, document.data(), document.size(), fileio::ReplaceOptions{});
}

#include "GpxWriter.h"

#include "FixFilter.h"
#include "FixMaker.h"

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

} // namespace

size_t GpxWriter::PointCount(const TelemetryTrack& track) {
    return PlausibleFixes(track.fixes).size();
}

std::string GpxWriter::Write(const TelemetryTrack& track, std::string_view name) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"tatview\" xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
        "     xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
        "  <trk>\n    <name>" +
        Escaped(name) + "</name>\n    <trkseg>\n";
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
                      "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>%.2f</gpxtpx:speed>"
                      "</gpxtpx:TrackPointExtension></extensions></trkpt>\n",
                      fix.GetSpeed() / 3.6);
        out += line;
    }
    out += "    </trkseg>\n  </trk>\n</gpx>\n";
    return out;
}

fileio::Result GpxWriter::WriteFile(const TelemetryTrack& track, std::string_view name,
                                    const std::string& path) {
    const std::string document = Write(track, name);
    return fileio::ReplaceFile(path, document.data(), document.size(), fileio::ReplaceOptions{});
}

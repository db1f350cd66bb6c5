#include "RecordingTelemetry.h"

#include "NmeaSideFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace {

std::string LowerExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

std::string ReadUpTo(const std::string& path, size_t limit) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string text;
    if (!in)
        return text;
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return text;
    limit = std::min(limit, static_cast<size_t>(size));
    in.seekg(0);
    text.resize(limit);
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return text;
}

} // namespace

TelemetryTrack RecordingTelemetry::Load(const std::vector<std::string>& files) {
    TelemetryTrack merged;
    for (const std::string& file : files) {
        const std::string extension = LowerExtension(file);
        if (extension != "nmea" && extension != "gps")
            continue;
        TelemetryTrack track = nmea::ReadSideFile(ReadUpTo(file, kMaxFileBytes));
        merged.fixes.insert(merged.fixes.end(), track.fixes.begin(), track.fixes.end());
        merged.accelerations.insert(merged.accelerations.end(), track.accelerations.begin(),
                                    track.accelerations.end());
    }
    std::stable_sort(merged.fixes.begin(), merged.fixes.end(),
                     [](const TimedFix& a, const TimedFix& b) { return a.timeMs < b.timeMs; });
    std::stable_sort(
        merged.accelerations.begin(), merged.accelerations.end(),
        [](const TimedAcceleration& a, const TimedAcceleration& b) { return a.timeMs < b.timeMs; });
    return merged;
}

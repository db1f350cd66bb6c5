#include "RecordingTelemetry.h"

#include "BlackVueTelemetry.h"
#include "CarRoute.h"
#include "CarSeiReader.h"
#include "EmbeddedTelemetry.h"
#include "NmeaSideFile.h"
#include "base/AsciiText.h"
#include "storage/DashcamNaming.h"

#include <algorithm>
#include <fstream>
#include <utility>

namespace {

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

bool IsVideo(const std::string& path) {
    return ascii::HasExtension(path, "mp4") || ascii::HasExtension(path, "mov") ||
           ascii::HasExtension(path, "ts") || ascii::HasExtension(path, "m2ts");
}

// The video file of a car with built-in cameras that its driving data is read from: the
// front camera's (every camera's file holds the same messages); null for other cameras'
// recordings.
const std::string* CarVideo(const std::vector<std::string>& files) {
    const std::string* best = nullptr;
    int bestChannel = dashcam::kChannelCount;
    for (const std::string& file : files) {
        const size_t slash = file.find_last_of('/');
        const dashcam::FileNameInfo info =
            dashcam::ReadFileName(slash == std::string::npos ? file : file.substr(slash + 1));
        if (info.role == dashcam::FileRole::kVideo && info.family == "tesla" &&
            info.channel < bestChannel && ascii::HasExtension(file, "mp4")) {
            best = &file;
            bestChannel = info.channel;
        }
    }
    return best;
}

void Append(TelemetryTrack& to, const TelemetryTrack& from) {
    to.fixes.insert(to.fixes.end(), from.fixes.begin(), from.fixes.end());
    to.accelerations.insert(to.accelerations.end(), from.accelerations.begin(),
                            from.accelerations.end());
}

} // namespace

TelemetryTrack RecordingTelemetry::Load(const std::vector<std::string>& files) {
    TelemetryTrack merged;
    for (const std::string& file : files) {
        if (ascii::HasExtension(file, "nmea") || ascii::HasExtension(file, "gps"))
            Append(merged, nmea::ReadSideFile(ReadUpTo(file, kMaxFileBytes)));
        else if (ascii::HasExtension(file, "3gf"))
            Append(merged, blackvue::ReadSideFiles({}, file));
    }
    // Side files are what the camera wrote for the purpose; the video's own data fills in a
    // kind (fixes, G-sensor samples) that no side file holds, from the first video file that
    // holds any telemetry (the front camera's first).
    if (merged.fixes.empty() || merged.accelerations.empty()) {
        for (const std::string& file : files) {
            if (!IsVideo(file))
                continue;
            TelemetryTrack embedded = EmbeddedTelemetry::Read(file);
            if (embedded.Empty())
                continue;
            if (merged.fixes.empty())
                merged.fixes = std::move(embedded.fixes);
            if (merged.accelerations.empty())
                merged.accelerations = std::move(embedded.accelerations);
            break;
        }
    }
    // A car's own data: its states, and from them the route where nothing else gives one and
    // the speed wherever it drove.
    if (const std::string* car = CarVideo(files)) {
        merged.carStates = CarSeiReader::Read(*car); // in ascending time, as Merge wants them
        carroute::Merge(merged);
    }
    merged.SortByTime();
    return merged;
}

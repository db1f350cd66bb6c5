#include "BlackVueTelemetry.h"

#include "FileByteSource.h"
#include "NmeaText.h"
#include "base/ByteOrder.h"

#include <algorithm>

namespace blackvue {

namespace {
constexpr uint64_t kMaxFreeBytes = 16u << 20;
} // namespace

std::vector<TimedAcceleration> ReadAccelerations(const uint8_t* data, size_t size) {
    std::vector<TimedAcceleration> samples;
    if (data == nullptr)
        return samples;
    samples.reserve(size / kRecordSize);
    for (size_t at = 0; at + kRecordSize <= size; at += kRecordSize) {
        const uint8_t* record = data + at;
        const uint32_t timeMs = LoadU32BE(record);
        if (timeMs == kEndTime)
            break;
        TimedAcceleration sample;
        sample.timeMs = timeMs;
        sample.x = LoadI16BE(record + 4) / kUnitsPerG;
        sample.y = LoadI16BE(record + 6) / kUnitsPerG;
        sample.z = LoadI16BE(record + 8) / kUnitsPerG;
        samples.push_back(sample);
    }
    return samples;
}

std::vector<TimedFix> ReadFixes(std::string_view text, int64_t startStampMs) {
    return TimedFixesFromNmea(text, startStampMs);
}

namespace {

bool ReadWhole(const std::string& path, std::vector<uint8_t>& out) {
    FileByteSource file;
    if (path.empty() || !file.Open(path) || file.Size() > kMaxFreeBytes)
        return false;
    out.resize(static_cast<size_t>(file.Size()));
    return file.ReadAt(0, out.data(), out.size());
}

} // namespace

TelemetryTrack ReadSideFiles(const std::string& gpsPath, const std::string& sensorPath,
                             int64_t startStampMs) {
    TelemetryTrack track;
    std::vector<uint8_t> bytes;
    if (ReadWhole(gpsPath, bytes))
        track.fixes =
            ReadFixes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                      startStampMs);
    if (ReadWhole(sensorPath, bytes))
        track.accelerations = ReadAccelerations(bytes.data(), bytes.size());
    track.SortByTime();
    return track;
}

bool ReadEmbedded(const Mp4File& file, ByteSource& source, TelemetryTrack& track) {
    bool found = false;
    std::vector<uint8_t> payload;
    for (const Mp4Box& box : file.TopLevel()) {
        if (box.type != "free" || box.DataSize() < 8 || box.DataSize() > kMaxFreeBytes)
            continue;
        payload.resize(static_cast<size_t>(box.DataSize()));
        if (!source.ReadAt(box.DataOffset(), payload.data(), payload.size()))
            continue;
        for (const Mp4Box& child : Mp4File::Children(payload.data(), payload.size())) {
            const uint8_t* data = payload.data() + child.DataOffset();
            const auto size = static_cast<size_t>(child.DataSize());
            if (child.type == "gps ") {
                found = true;
                std::vector<TimedFix> fixes =
                    ReadFixes(std::string_view(reinterpret_cast<const char*>(data), size));
                track.fixes.insert(track.fixes.end(), fixes.begin(), fixes.end());
            } else if (child.type == "3gf ") {
                found = true;
                std::vector<TimedAcceleration> samples = ReadAccelerations(data, size);
                track.accelerations.insert(track.accelerations.end(), samples.begin(),
                                           samples.end());
            }
        }
    }
    return found;
}

} // namespace blackvue

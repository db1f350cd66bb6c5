#include "EmbeddedTelemetry.h"

#include "BlackVueTelemetry.h"
#include "FileByteSource.h"
#include "GpmfReader.h"
#include "Mp4File.h"
#include "MpegTsGps.h"
#include "NovatekGps.h"
#include "ThinkwareCue.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

// Samples of a data or subtitle track above this size are not read.
constexpr uint32_t kMaxSampleBytes = 1u << 20;

// Calls use(entry, bytes, size) for each sample, no larger than kMaxSampleBytes and read
// whole, of the tracks whose sample format is format; whether any track has that format.
template <typename Use>
bool ForEachSample(const std::vector<Mp4Track>& tracks, std::string_view format, ByteSource& source,
                   Use use) {
    bool found = false;
    std::vector<uint8_t> sample;
    for (const Mp4Track& track : tracks) {
        if (track.format != format)
            continue;
        found = true;
        for (const Mp4Sample& entry : track.samples) {
            if (entry.size > kMaxSampleBytes)
                continue;
            sample.resize(entry.size);
            if (!source.ReadAt(entry.offset, sample.data(), sample.size()))
                continue;
            use(entry, sample.data(), sample.size());
        }
    }
    return found;
}

bool ReadGpmf(const std::vector<Mp4Track>& tracks, ByteSource& source, TelemetryTrack& out) {
    GpmfReader reader;
    return ForEachSample(tracks, "gpmd", source,
                         [&](const Mp4Sample& entry, const uint8_t* bytes, size_t size) {
                             reader.ReadPayload(bytes, size, entry.timeMs, entry.durationMs, out);
                         });
}

bool ReadThinkware(const std::vector<Mp4Track>& tracks, ByteSource& source, TelemetryTrack& out) {
    bool found = false;
    FixMaker maker;
    ForEachSample(
        tracks, "tx3g", source, [&](const Mp4Sample& entry, const uint8_t* bytes, size_t size) {
            const ThinkwareCue cue = ThinkwareCue::FromSample(bytes, size, maker);
            if (cue.fix)
                out.fixes.push_back(TimedFix{entry.timeMs, *cue.fix});
            if (cue.hasAcceleration)
                out.accelerations.push_back(TimedAcceleration{entry.timeMs, cue.x, cue.y, cue.z});
            found = found || cue.fix || cue.hasAcceleration;
        });
    return found;
}

TelemetryFormat ReadAny(ByteSource& source, TelemetryTrack& track) {
    uint8_t head[3 * mpegts::kPacketSize] = {};
    const auto headSize = static_cast<size_t>(std::min<uint64_t>(sizeof head, source.Size()));
    if (!source.ReadAt(0, head, headSize))
        return TelemetryFormat::kNone;
    if (mpegts::LooksLikeTransportStream(head, headSize)) {
        mpegts::ReadFixes(source, track);
        return track.Empty() ? TelemetryFormat::kNone : TelemetryFormat::kNovatekTs;
    }
    Mp4File file;
    if (!file.Open(source))
        return TelemetryFormat::kNone;
    if (blackvue::ReadEmbedded(file, source, track))
        return TelemetryFormat::kBlackVue;
    if (novatek::ReadIndexed(file, source, track))
        return TelemetryFormat::kNovatek;
    if (file.FindTopLevel("moov") == nullptr) {
        novatek::ScanBlocks(source, source.Size(), track);
        return track.Empty() ? TelemetryFormat::kNone : TelemetryFormat::kNovatek;
    }
    const std::vector<Mp4Track> tracks = file.Tracks({"gpmd", "tx3g"});
    if (ReadGpmf(tracks, source, track))
        return TelemetryFormat::kGpmf;
    if (ReadThinkware(tracks, source, track))
        return TelemetryFormat::kThinkware;
    return TelemetryFormat::kNone;
}

} // namespace

const char* TelemetryFormatName(TelemetryFormat format) {
    switch (format) {
    case TelemetryFormat::kBlackVue:
        return "blackvue";
    case TelemetryFormat::kNovatek:
        return "novatek";
    case TelemetryFormat::kNovatekTs:
        return "novatek-ts";
    case TelemetryFormat::kGpmf:
        return "gpmf";
    case TelemetryFormat::kThinkware:
        return "thinkware";
    case TelemetryFormat::kNone:
        break;
    }
    return "none";
}

TelemetryTrack EmbeddedTelemetry::Read(ByteSource& source, TelemetryFormat* format) {
    TelemetryTrack track;
    const TelemetryFormat found = ReadAny(source, track);
    track.SortByTime();
    if (format != nullptr)
        *format = found;
    return track;
}

TelemetryTrack EmbeddedTelemetry::Read(const std::string& path, TelemetryFormat* format) {
    FileByteSource file;
    if (!file.Open(path)) {
        if (format != nullptr)
            *format = TelemetryFormat::kNone;
        return {};
    }
    return Read(file, format);
}

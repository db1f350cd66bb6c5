#include "GpmfReader.h"

#include "base/ByteOrder.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr double kMetresPerSecondToKmh = 3.6;
constexpr size_t kItemHeader = 8;

// Bytes of one value of the type; 0 for types whose values are not numbers read here.
size_t ValueSize(char type) {
    switch (type) {
    case 'b':
    case 'B':
        return 1;
    case 's':
    case 'S':
        return 2;
    case 'l':
    case 'L':
    case 'f':
        return 4;
    case 'd':
    case 'j':
    case 'J':
        return 8;
    default:
        return 0;
    }
}

double ValueAt(char type, const uint8_t* p) {
    switch (type) {
    case 'b':
        return static_cast<int8_t>(p[0]);
    case 'B':
        return p[0];
    case 's':
        return LoadI16BE(p);
    case 'S':
        return LoadU16BE(p);
    case 'l':
        return LoadI32BE(p);
    case 'L':
        return LoadU32BE(p);
    case 'f': {
        const uint32_t bits = LoadU32BE(p);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case 'd': {
        const uint64_t bits = LoadU64BE(p);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case 'j':
        return static_cast<double>(static_cast<int64_t>(LoadU64BE(p)));
    case 'J':
        return static_cast<double>(LoadU64BE(p));
    default:
        return 0;
    }
}

// The values of an item, structure by structure, each structure's fields in order.
struct Values {
    char type = 0;
    size_t fields = 0; // per structure
    size_t count = 0;  // structures
    const uint8_t* data = nullptr;
    double At(size_t structure, size_t field) const {
        return ValueAt(type, data + (structure * fields + field) * ValueSize(type));
    }
};

bool ReadValues(char type, size_t structSize, size_t repeat, const uint8_t* data, Values& out) {
    const size_t valueSize = ValueSize(type);
    if (valueSize == 0 || structSize < valueSize || structSize % valueSize != 0)
        return false;
    out.type = type;
    out.fields = structSize / valueSize;
    out.count = repeat;
    out.data = data;
    return true;
}

bool TwoDigits(std::string_view text, size_t at, int32_t& out) {
    if (text.size() < at + 2 || text[at] < '0' || text[at] > '9' || text[at + 1] < '0' ||
        text[at + 1] > '9')
        return false;
    out = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return true;
}

} // namespace

struct GpmfReader::Stream {
    std::vector<double> scale;
    std::optional<int64_t> utcSeconds;
    std::optional<double> fixType; // as stored: any number
    Values gps;
    Values accl;
    std::vector<double> gpsScale;
    std::vector<double> acclScale;

    double Divisor(const std::vector<double>& of, size_t field) const {
        if (of.empty())
            return 1;
        const double d = of.size() == 1 ? of[0] : field < of.size() ? of[field] : 1;
        return d == 0 || !std::isfinite(d) ? 1 : d;
    }
};

void GpmfReader::ReadPayload(const uint8_t* data, size_t size, int64_t startMs, int64_t durationMs,
                             TelemetryTrack& track) {
    if (data == nullptr)
        return;
    m_startMs = startMs;
    m_durationMs = durationMs < 0 ? 0 : durationMs;
    ReadItems(data, size, 0, nullptr, track);
}

void GpmfReader::ReadItems(const uint8_t* data, size_t size, int depth, Stream* stream,
                           TelemetryTrack& track) {
    size_t at = 0;
    while (at + kItemHeader <= size) {
        const uint8_t* item = data + at;
        const std::string_view key(reinterpret_cast<const char*>(item), 4);
        const char type = static_cast<char>(item[4]);
        const size_t structSize = item[5];
        const size_t repeat = LoadU16BE(item + 6);
        const size_t length = structSize * repeat;
        const size_t padded = (length + 3) / 4 * 4;
        if (padded > size - at - kItemHeader)
            return; // an item that does not fit ends the list
        const uint8_t* value = item + kItemHeader;
        at += kItemHeader + padded;

        if (type == 0) {
            if (depth + 1 >= kMaxDepth)
                continue;
            if (key == "STRM") {
                Stream inner;
                ReadItems(value, length, depth + 1, &inner, track);
                EndStream(inner, track);
            } else {
                ReadItems(value, length, depth + 1, stream, track);
            }
            continue;
        }
        if (stream == nullptr)
            continue;
        Values values;
        if (key == "SCAL") {
            stream->scale.clear();
            if (ReadValues(type, structSize, repeat, value, values))
                for (size_t s = 0; s < values.count; ++s)
                    for (size_t f = 0; f < values.fields; ++f)
                        stream->scale.push_back(values.At(s, f));
        } else if (key == "GPSU" && (type == 'U' || type == 'c') && length >= 12) {
            const std::string_view text(reinterpret_cast<const char*>(value), length);
            UtcStamp utc;
            int32_t year = 0;
            if (TwoDigits(text, 0, year) && TwoDigits(text, 2, utc.month) &&
                TwoDigits(text, 4, utc.day) && TwoDigits(text, 6, utc.hour) &&
                TwoDigits(text, 8, utc.minute) && TwoDigits(text, 10, utc.second)) {
                utc.year = 2000 + year;
                stream->utcSeconds = SecondsFromUtcStamp(utc);
            }
        } else if (key == "GPSF" && ReadValues(type, structSize, repeat, value, values) &&
                   values.count > 0) {
            stream->fixType = values.At(0, 0);
        } else if (key == "GPS5" && ReadValues(type, structSize, repeat, value, values) &&
                   values.fields >= 5) {
            stream->gps = values;
            stream->gpsScale = stream->scale;
        } else if (key == "ACCL" && ReadValues(type, structSize, repeat, value, values) &&
                   values.fields >= 3) {
            stream->accl = values;
            stream->acclScale = stream->scale;
        }
    }
}

void GpmfReader::EndStream(const Stream& stream, TelemetryTrack& track) {
    const bool locked = !stream.fixType || *stream.fixType >= 2.0;
    const Values& gps = stream.gps;
    for (size_t s = 0; s < gps.count; ++s) {
        const auto offsetMs =
            static_cast<int64_t>(s) * m_durationMs / static_cast<int64_t>(gps.count);
        double field[5];
        for (size_t f = 0; f < 5; ++f)
            field[f] = gps.At(s, f) / stream.Divisor(stream.gpsScale, f);
        UtcStamp utc;
        if (stream.utcSeconds)
            utc = UtcStampFromSeconds(*stream.utcSeconds + offsetMs / 1000);
        track.fixes.push_back(
            TimedFix{m_startMs + offsetMs, m_maker.Make(utc, locked, field[0], field[1],
                                                        field[3] * kMetresPerSecondToKmh, 0)});
    }
    const Values& accl = stream.accl;
    for (size_t s = 0; s < accl.count; ++s) {
        TimedAcceleration sample;
        sample.timeMs =
            m_startMs + static_cast<int64_t>(s) * m_durationMs / static_cast<int64_t>(accl.count);
        sample.x = accl.At(s, 0) / stream.Divisor(stream.acclScale, 0) / kStandardGravity;
        sample.y = accl.At(s, 1) / stream.Divisor(stream.acclScale, 1) / kStandardGravity;
        sample.z = accl.At(s, 2) / stream.Divisor(stream.acclScale, 2) / kStandardGravity;
        track.accelerations.push_back(sample);
    }
}

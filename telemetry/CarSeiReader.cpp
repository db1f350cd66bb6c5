#include "CarSeiReader.h"

#include "FileByteSource.h"
#include "Mp4File.h"
#include "telemetry/CarSei.pb.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint8_t kSeiNal = 6;
constexpr uint8_t kUserDataUnregistered = 5;
constexpr uint8_t kCarPrefix = 0x42;
constexpr uint8_t kCarMarker = 0x69;
// Bytes read at the start of each sample; the SEI units and the slice header fit in it.
constexpr size_t kSampleHead = 512;
// NAL units looked at before a sample's first slice (an encoder writes a handful: delimiter,
// parameter sets, SEI): a hostile sample of tiny units costs no more than this.
constexpr int kMaxUnitsBeforeSlice = 64;

// The NAL length size of an avc1 / avc3 sample description (its avcC box), 1, 2 or 4; 0 when
// there is none.
int NalLengthSize(const Mp4Track& track) {
    // A visual sample entry holds 78 bytes of fields before its boxes.
    constexpr size_t kVisualFields = 78;
    if (track.description.size() <= kVisualFields)
        return 0;
    const uint8_t* boxes = track.description.data() + kVisualFields;
    const size_t size = track.description.size() - kVisualFields;
    Mp4Box avcc;
    if (!Mp4File::FindChild(boxes, size, "avcC", avcc) || avcc.DataSize() < 5)
        return 0;
    const int length = (boxes[avcc.DataOffset() + 4] & 0x03) + 1;
    return length == 3 ? 0 : length;
}

uint32_t LoadLength(const uint8_t* at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | at[i];
    return value;
}

// A finite value of a field the message holds.
template <typename T> std::optional<double> Finite(bool has, T value) {
    const double v = static_cast<double>(value);
    if (!has || !std::isfinite(v))
        return std::nullopt;
    return v;
}

TimedCarState FromMessage(const tatv::carsei::SeiMetadata& m, int64_t timeMs) {
    TimedCarState state;
    state.timeMs = timeMs;
    if (m.has_frame_seq_no())
        state.frameNumber = m.frame_seq_no();
    state.speedMps = Finite(m.has_vehicle_speed_mps(), m.vehicle_speed_mps());
    if (m.has_gear_state() && tatv::carsei::SeiMetadata::Gear_IsValid(m.gear_state()))
        state.gear = static_cast<CarGear>(m.gear_state());
    state.acceleratorPercent =
        Finite(m.has_accelerator_pedal_position(), m.accelerator_pedal_position());
    if (m.has_brake_applied())
        state.brake = m.brake_applied();
    state.steeringDegrees = Finite(m.has_steering_wheel_angle(), m.steering_wheel_angle());
    if (m.has_blinker_on_left())
        state.blinkerLeft = m.blinker_on_left();
    if (m.has_blinker_on_right())
        state.blinkerRight = m.blinker_on_right();
    if (m.has_autopilot_state() &&
        tatv::carsei::SeiMetadata::AutopilotState_IsValid(m.autopilot_state()))
        state.assist = static_cast<DriveAssist>(m.autopilot_state());
    // A position needs both coordinates on the earth; 0, 0 is what a car without a fix
    // leaves (the fields out).
    const std::optional<double> lat = Finite(m.has_latitude_deg(), m.latitude_deg());
    const std::optional<double> lon = Finite(m.has_longitude_deg(), m.longitude_deg());
    if (lat && lon && std::fabs(*lat) <= 90 && std::fabs(*lon) <= 180 && (*lat != 0 || *lon != 0)) {
        state.latitude = lat;
        state.longitude = lon;
        state.heading = Finite(m.has_heading_deg(), m.heading_deg());
    }
    state.accelX = Finite(m.has_linear_acceleration_mps2_x(), m.linear_acceleration_mps2_x());
    state.accelY = Finite(m.has_linear_acceleration_mps2_y(), m.linear_acceleration_mps2_y());
    state.accelZ = Finite(m.has_linear_acceleration_mps2_z(), m.linear_acceleration_mps2_z());
    return state;
}

// An SEI message's type or size at `at`: a run of 0xFF bytes and one last byte, summed; `at`
// moves past it. False when the bytes end first.
bool ReadSeiNumber(const std::vector<uint8_t>& rbsp, size_t& at, size_t& value) {
    value = 0;
    while (at < rbsp.size() && rbsp[at] == 0xFF)
        value += rbsp[at++];
    if (at >= rbsp.size())
        return false;
    value += rbsp[at++];
    return true;
}

// The car's protobuf bytes inside a user-data payload: after the run of prefix bytes and
// the marker. False when the payload is not the car's.
bool CarMessage(const uint8_t* payload, size_t size, const uint8_t*& message, size_t& length) {
    size_t i = 0;
    while (i < size && payload[i] == kCarPrefix)
        ++i;
    if (i == 0 || i >= size || payload[i] != kCarMarker)
        return false;
    message = payload + i + 1;
    length = size - i - 1;
    return true;
}

} // namespace

std::vector<uint8_t> CarSeiReader::RemoveEmulationPrevention(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    out.reserve(size);
    int zeros = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = data[i];
        if (zeros >= 2 && byte == 0x03) {
            zeros = 0;
            continue;
        }
        out.push_back(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return out;
}

std::vector<uint8_t> CarSeiReader::AddEmulationPrevention(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    out.reserve(size + size / 64 + 1);
    int zeros = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = data[i];
        if (zeros >= 2 && byte <= 0x03) {
            out.push_back(0x03);
            zeros = 0;
        }
        out.push_back(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return out;
}

std::optional<TimedCarState> CarSeiReader::DecodeSeiNal(const uint8_t* nal, size_t size,
                                                        int64_t timeMs) {
    if (size < 2 || (nal[0] & 0x1F) != kSeiNal)
        return std::nullopt;
    size = std::min(size, kMaxSeiBytes);
    const std::vector<uint8_t> rbsp = RemoveEmulationPrevention(nal + 1, size - 1);
    size_t at = 0;
    // SEI messages: type and size, each a run of 0xFF bytes and one last byte, then the
    // payload; the RBSP ends with its stop bit (0x80).
    while (at < rbsp.size() && !(rbsp[at] == 0x80 && at + 1 == rbsp.size())) {
        size_t type = 0;
        size_t payloadSize = 0;
        if (!ReadSeiNumber(rbsp, at, type) || !ReadSeiNumber(rbsp, at, payloadSize))
            return std::nullopt;
        size_t available = rbsp.size() - at;
        if (payloadSize > available) {
            // A size past the unit's end: what is there, short of the stop bit, is the
            // payload, and the protobuf decoder tells whether it is whole.
            payloadSize = available;
            if (payloadSize > 0 && rbsp.back() == 0x80)
                --payloadSize;
        }
        if (type == kUserDataUnregistered) {
            const uint8_t* message = nullptr;
            size_t length = 0;
            if (CarMessage(rbsp.data() + at, payloadSize, message, length)) {
                tatv::carsei::SeiMetadata decoded;
                if (decoded.ParseFromArray(message, static_cast<int>(length)))
                    return FromMessage(decoded, timeMs);
            }
        }
        at += payloadSize;
    }
    return std::nullopt;
}

std::vector<TimedCarState> CarSeiReader::Read(const std::string& path) {
    FileByteSource file;
    if (!file.Open(path))
        return {};
    return Read(file);
}

std::vector<TimedCarState> CarSeiReader::Read(ByteSource& source) {
    std::vector<TimedCarState> states;
    Mp4File mp4;
    if (!mp4.Open(source))
        return states;
    const std::vector<Mp4Track> tracks = mp4.Tracks({"avc1", "avc3"});
    const auto video = std::find_if(tracks.begin(), tracks.end(), [](const Mp4Track& t) {
        return t.handler == "vide" && (t.format == "avc1" || t.format == "avc3");
    });
    if (video == tracks.end() || video->samples.empty())
        return states;
    const int lengthSize = NalLengthSize(*video);
    if (lengthSize == 0)
        return states;

    // Times from the first picture: the earliest presentation time of the track.
    int64_t firstMs = video->samples.front().presentationMs;
    for (const Mp4Sample& sample : video->samples)
        firstMs = std::min(firstMs, sample.presentationMs);

    std::vector<uint8_t> head(kSampleHead);
    std::vector<uint8_t> unit;
    for (const Mp4Sample& sample : video->samples) {
        const size_t headSize = std::min<size_t>(sample.size, kSampleHead);
        if (!source.ReadAt(sample.offset, head.data(), headSize))
            continue;
        const int64_t timeMs = sample.presentationMs - firstMs;
        uint64_t at = 0; // within the sample
        for (int units = 0;
             units < kMaxUnitsBeforeSlice && at + static_cast<uint64_t>(lengthSize) < sample.size;
             ++units) {
            // The length and header byte, from the head when they lie in it.
            uint8_t prefix[5] = {};
            const size_t prefixSize = static_cast<size_t>(lengthSize) + 1;
            if (at + prefixSize <= headSize)
                std::copy_n(head.data() + at, prefixSize, prefix);
            else if (!source.ReadAt(sample.offset + at, prefix, prefixSize))
                break;
            const uint32_t length = LoadLength(prefix, lengthSize);
            const uint64_t body = at + static_cast<uint64_t>(lengthSize);
            if (length == 0 || length > sample.size - body)
                break;
            const uint8_t type = prefix[prefixSize - 1] & 0x1F;
            if (type >= 1 && type <= 5)
                break; // a slice: no SEI follows it in this sample
            if (type == kSeiNal) {
                const size_t take = std::min<size_t>(length, kMaxSeiBytes);
                const uint8_t* bytes = nullptr;
                if (body + take <= headSize) {
                    bytes = head.data() + body;
                } else {
                    unit.resize(take);
                    if (!source.ReadAt(sample.offset + body, unit.data(), take))
                        break;
                    bytes = unit.data();
                }
                if (std::optional<TimedCarState> state = DecodeSeiNal(bytes, take, timeMs))
                    states.push_back(*state);
            }
            at = body + length;
        }
    }
    std::stable_sort(
        states.begin(), states.end(),
        [](const TimedCarState& a, const TimedCarState& b) { return a.timeMs < b.timeMs; });
    return states;
}

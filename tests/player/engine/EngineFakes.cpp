#include "EngineFakes.h"

#include "formats/CountedTimes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

// Start code, NAL header, then the stream letter and the number.
std::vector<uint8_t> VideoPayload(char stream, int32_t number, bool key) {
    std::vector<uint8_t> bytes = {0, 0, 0, 1, static_cast<uint8_t>(key ? 0x65 : 0x41)};
    bytes.push_back(static_cast<uint8_t>(stream));
    bytes.resize(bytes.size() + sizeof number);
    std::memcpy(bytes.data() + 6, &number, sizeof number);
    bytes.resize(64 + static_cast<size_t>(number % 7), 0xAB);
    return bytes;
}

std::vector<uint8_t> TaggedPayload(char stream, int32_t number, size_t size) {
    std::vector<uint8_t> bytes(std::max<size_t>(size, 10), 0);
    bytes[5] = static_cast<uint8_t>(stream);
    std::memcpy(bytes.data() + 6, &number, sizeof number);
    return bytes;
}

} // namespace

FakePacketTag TagOf(const uint8_t* payload, int32_t size) {
    FakePacketTag tag;
    if (size < 10)
        return tag;
    tag.stream = static_cast<char>(payload[5]);
    std::memcpy(&tag.number, payload + 6, sizeof tag.number);
    return tag;
}

FakeParser::FakeParser(FakeRecording recording) : m_recording(recording) {
    int32_t audio = 0;
    int32_t text = 0;
    const int32_t declared = recording.declaredRate >= 0 ? recording.declaredRate : recording.rate;
    const int64_t rate = declared > 0 ? declared : 30;
    // Front frame f's time: the camera's count, or twice as far apart from slowFrom on.
    const auto frontUs = [&](int64_t f) {
        if (recording.slowFrom <= 0 || f <= recording.slowFrom)
            return f * 1000000 / rate;
        return (recording.slowFrom + (f - recording.slowFrom) * 2) * 1000000 / rate;
    };
    std::vector<int64_t> explicitUs; // per packet: a time of its own, or -1
    int32_t rear = 0;
    const bool ownRear = recording.twoChannel && recording.rearRate > 0;
    for (int32_t f = 0; f < recording.frames; ++f) {
        // The rear frames up to front frame f's time.
        const auto pushRear = [&] {
            const auto rearUs = [&](int64_t r) { return r * 1000000 / recording.rearRate; };
            while (rearUs(rear) <= frontUs(f)) {
                const bool rearKey = rear % recording.rearRate == 0;
                m_packets.push_back({RearVideo, VideoPayload('R', rear, rearKey), {'R', rear}});
                m_packets.back().channel = 1;
                explicitUs.push_back(rearUs(rear));
                ++rear;
            }
        };
        if (ownRear && recording.rearLeads)
            pushRear();
        const bool frontKey = f % recording.rate == 0;
        m_packets.push_back({FrontVideo, VideoPayload('F', f, frontKey), {'F', f}});
        explicitUs.push_back(recording.slowFrom > 0 ? frontUs(f) : -1);
        if (ownRear) {
            if (!recording.rearLeads)
                pushRear();
        } else if (recording.twoChannel) {
            const bool rearKey = f % recording.rate == 5;
            m_packets.push_back({RearVideo, VideoPayload('R', f, rearKey), {'R', f}});
            m_packets.back().channel = 1;
            explicitUs.push_back(recording.slowFrom > 0 || recording.cameras > 2 ? frontUs(f) : -1);
            for (int32_t c = 2; c < recording.cameras; ++c) {
                const char stream = static_cast<char>('0' + c);
                m_packets.push_back(
                    {RearVideo, VideoPayload(stream, f, f % recording.rate == c), {stream, f}});
                m_packets.back().channel = c;
                explicitUs.push_back(frontUs(f));
            }
        }
        if (!recording.sound) {
        } else if (recording.cameraAudio) {
            // Block k spans [240 k, 240 (k + 1)) ms and follows the first frame at or past
            // its end.
            while (int64_t{240} * (audio + 1) * recording.rate <= int64_t{1000} * f) {
                std::vector<uint8_t> block(3840);
                for (size_t i = 0; i + 1 < block.size(); i += 2)
                    block[i] = static_cast<uint8_t>(audio);
                m_packets.push_back({Audio, block, {'A', audio}});
                explicitUs.push_back(-1);
                ++audio;
            }
        } else if (f % 7 == 6) {
            m_packets.push_back({Audio, TaggedPayload('A', audio, 3840), {'A', audio}});
            explicitUs.push_back(-1);
            ++audio;
        }
        if (f % 10 == 9) {
            std::vector<uint8_t> line = TaggedPayload('T', text, 12);
            m_packets.push_back({Text, line, {'T', text}});
            explicitUs.push_back(-1);
            ++text;
        }
    }
    // The times the camera's counting gives them, at the rate the recording declares, where
    // the recording does not time them itself.
    CountedTimes times;
    times.SetFormat(declared, 16, 8000, 3840);
    times.Restart(0);
    for (size_t i = 0; i < m_packets.size(); ++i) {
        Packet& packet = m_packets[i];
        const int64_t counted =
            times.Stamp(packet.kind, static_cast<int32_t>(packet.payload.size()));
        packet.timeUs = explicitUs[i] >= 0 ? explicitUs[i] : counted;
    }
}

bool FakeParser::Start() {
    m_starts.fetch_add(1);
    return !failStart;
}

int64_t FakeParser::Open(const std::string&, OpenInfo* info) {
    if (failOpen)
        return 0;
    std::lock_guard<std::mutex> hold(m_mutex);
    m_open = true;
    m_next = 0;
    m_delivered.clear();
    if (info != nullptr) {
        info->frontFrameRate =
            m_recording.declaredRate >= 0 ? m_recording.declaredRate : m_recording.rate;
        info->rearFrameRate = m_recording.twoChannel ? info->frontFrameRate : 0;
        info->frontFrameCount = m_recording.frames;
        info->rearFrameCount = m_recording.twoChannel ? m_recording.frames : 0;
    }
    return 1;
}

void FakeParser::Close() {
    if (m_inRead.load())
        m_closedDuringRead.store(true);
    std::lock_guard<std::mutex> hold(m_mutex);
    m_open = false;
    m_closes.fetch_add(1);
}

int32_t FakeParser::GetFrameRate(int stream) {
    const int32_t rate =
        m_recording.declaredRate >= 0 ? m_recording.declaredRate : m_recording.rate;
    if (stream >= 2)
        return stream < m_recording.cameras ? rate : 0;
    return stream == 0 ? rate : (m_recording.twoChannel ? rate : 0);
}

bool FakeParser::Read(uint8_t* buffer, int32_t capacity, MediaPacket& out) {
    m_inRead.store(true);
    std::lock_guard<std::mutex> hold(m_mutex);
    out = MediaPacket{};
    out.kind = EndOfStream;
    bool delivered = false;
    if (m_open && m_next < m_packets.size() &&
        static_cast<int32_t>(m_packets[m_next].payload.size()) <= capacity) {
        const Packet& packet = m_packets[m_next++];
        std::memcpy(buffer, packet.payload.data(), packet.payload.size());
        out.kind = packet.kind;
        out.channel = packet.channel;
        out.keyFrame =
            (packet.kind == FrontVideo || packet.kind == RearVideo) && packet.payload[4] != 0x41;
        out.timeUs = packet.timeUs;
        out.size = static_cast<int32_t>(packet.payload.size());
        out.payload = buffer;
        m_delivered.push_back(packet.tag);
        if (packet.tag.stream == 'F')
            m_frontRead.fetch_add(1);
        delivered = true;
    }
    m_inRead.store(false);
    return delivered;
}

int FakeParser::SeekTime(float seconds) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_seeks.push_back(seconds);
    const int32_t keyFrame = static_cast<int32_t>(std::floor(seconds)) * m_recording.rate;
    for (size_t i = 0; i < m_packets.size(); ++i) {
        if (m_packets[i].tag.stream == 'F' && m_packets[i].tag.number == keyFrame) {
            m_next = i >= 10 ? i - 10 : 0;
            m_delivered.clear();
            return 0;
        }
    }
    return -1;
}

std::vector<float> FakeParser::Seeks() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_seeks;
}

std::vector<FakePacketTag> FakeParser::Delivered() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_delivered;
}

bool FakeDecoder::Open() {
    m_opens.fetch_add(1);
    return !failOpen;
}

bool FakeDecoder::DecodeAndShow(int channel, VPictureArea*, const uint8_t* bytes, int32_t length) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_shown.push_back({channel, TagOf(bytes, length),
                       m_parser != nullptr ? m_parser->FrontPacketsRead() : 0,
                       std::chrono::steady_clock::now()});
    if (channel == 0)
        m_frontShown.fetch_add(1);
    return true;
}

bool FakeDecoder::Decode(int channel, const uint8_t* bytes, int32_t length, int64_t timeUs) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_decodedOnly.push_back({channel, TagOf(bytes, length),
                             m_parser != nullptr ? m_parser->FrontPacketsRead() : 0,
                             std::chrono::steady_clock::now(), timeUs});
    if (channel >= 0 && channel < kChannels)
        m_pictureUs[channel] = timeUs;
    return true;
}

void FakeDecoder::Defer(int channel, const uint8_t* bytes, int32_t length, int64_t, bool key) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_deferred.push_back({channel, TagOf(bytes, length), key});
}

std::vector<FakeDecoder::Deferred> FakeDecoder::DeferredPackets() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_deferred;
}

void FakeDecoder::SetDecodeCost(int channel, DecodeCost cost) {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (channel >= 0 && channel < kChannels)
        m_costs[channel] = cost;
}

DecodeCost FakeDecoder::CostOf(int channel) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return channel >= 0 && channel < kChannels ? m_costs[channel] : DecodeCost{};
}

int64_t FakeDecoder::PictureTimeUs(int channel) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return channel >= 0 && channel < kChannels ? m_pictureUs[channel] : kNoTimeUs;
}

bool FakeDecoder::Show(int channel, VPictureArea*) {
    std::lock_guard<std::mutex> hold(m_mutex);
    for (auto packet = m_decodedOnly.rbegin(); packet != m_decodedOnly.rend(); ++packet) {
        if (packet->channel == channel) {
            m_shown.push_back(*packet);
            m_shown.back().at = std::chrono::steady_clock::now();
            m_decodedOnly.erase(std::next(packet).base());
            if (channel == 0)
                m_frontShown.fetch_add(1);
            return true;
        }
    }
    return false;
}

bool FakeDecoder::Keep(int channel, VPictureArea*, int64_t timeUs, bool) {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (channel < 0 || channel >= kChannels)
        return false;
    for (auto packet = m_decodedOnly.rbegin(); packet != m_decodedOnly.rend(); ++packet) {
        if (packet->channel == channel) {
            m_kept[channel].push_back(*packet);
            m_kept[channel].back().timeUs = timeUs;
            m_mostKept[channel] = std::max(m_mostKept[channel], m_kept[channel].size());
            m_decodedOnly.erase(std::next(packet).base());
            return true;
        }
    }
    return false;
}

size_t FakeDecoder::MostKept(int channel) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return channel >= 0 && channel < kChannels ? m_mostKept[channel] : 0;
}

size_t FakeDecoder::KeptCount(int channel) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return channel >= 0 && channel < kChannels ? m_kept[channel].size() : 0;
}

int64_t FakeDecoder::KeptTimeUs(int channel, size_t index) const {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (channel < 0 || channel >= kChannels || index >= m_kept[channel].size())
        return kNoTimeUs;
    return m_kept[channel][index].timeUs;
}

bool FakeDecoder::ShowKept(int channel, VPictureArea*) {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (channel < 0 || channel >= kChannels || m_kept[channel].empty())
        return false;
    m_shown.push_back(m_kept[channel].front());
    m_shown.back().at = std::chrono::steady_clock::now();
    m_kept[channel].pop_front();
    if (channel == 0)
        m_frontShown.fetch_add(1);
    return true;
}

bool FakeDecoder::DropKept(int channel) {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (channel < 0 || channel >= kChannels || m_kept[channel].empty())
        return false;
    m_decodedOnly.push_back(m_kept[channel].front());
    m_kept[channel].pop_front();
    return true;
}

void FakeDecoder::DropAllKept(int channel) {
    std::lock_guard<std::mutex> hold(m_mutex);
    if (channel < 0 || channel >= kChannels)
        return;
    m_decodedOnly.insert(m_decodedOnly.end(), m_kept[channel].begin(), m_kept[channel].end());
    m_kept[channel].clear();
}

std::vector<FakeDecoder::Shown> FakeDecoder::DecodedOnly() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_decodedOnly;
}

std::vector<FakeDecoder::Shown> FakeDecoder::ShownPictures() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_shown;
}

bool FakeAudio::Open(int32_t, int32_t) {
    if (failOpen)
        return false;
    m_open.fetch_add(1);
    return true;
}

int FakeAudio::Close() {
    if (m_open.load() > 0)
        m_open.fetch_sub(1);
    return 1;
}

void FakeAudio::Write(const uint8_t* bytes, int32_t length) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_blocks.push_back(TagOf(bytes, length).number);
    m_pieces.emplace_back(length > 0 ? bytes[0] : -1, length);
}

std::vector<std::pair<int, int32_t>> FakeAudio::FirstBytesAndLengths() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_pieces;
}

std::vector<int32_t> FakeAudio::Blocks() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_blocks;
}

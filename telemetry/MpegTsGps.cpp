#include "MpegTsGps.h"

#include "NovatekGps.h"
#include "base/ByteOrder.h"

#include <algorithm>
#include <vector>

namespace mpegts {

namespace {

constexpr uint16_t kPatPid = 0;
constexpr uint16_t kNullPid = 0x1FFF;
constexpr uint8_t kKindProgramMap = 1;
constexpr uint8_t kKindListed = 2;
constexpr size_t kMaxGathered = 16; // PIDs gathered at once
constexpr size_t kPesHeader = 6;
constexpr size_t kReadStep = (1u << 20) / kPacketSize * kPacketSize;

} // namespace

bool LooksLikeTransportStream(const uint8_t* data, size_t size) {
    if (data == nullptr || size < kPacketSize + 1 || data[0] != kSync || data[kPacketSize] != kSync)
        return false;
    return size < 2 * kPacketSize + 1 || data[2 * kPacketSize] == kSync;
}

void TsPacketWalker::Feed(const uint8_t* packet) {
    if (packet[0] != kSync)
        return;
    const bool start = (packet[1] & 0x40) != 0;
    const auto pid = static_cast<uint16_t>((packet[1] & 0x1F) << 8 | packet[2]);
    const uint8_t control = (packet[3] >> 4) & 0x3;
    if (pid == kNullPid || (control & 0x1) == 0)
        return; // no payload
    size_t at = 4;
    if (control & 0x2) {
        at += 1 + size_t{packet[4]};
        if (at >= kPacketSize)
            return;
    }
    const uint8_t* payload = packet + at;
    const size_t size = kPacketSize - at;
    if (pid == kPatPid || m_kind[pid] == kKindProgramMap)
        Table(pid, payload, size, start);
    else if (m_kind[pid] != kKindListed && pid > 0x1F)
        Pes(pid, payload, size, start);
}

// Sections are read from the packet that starts them; the tables of these files fit one.
void TsPacketWalker::Table(uint16_t pid, const uint8_t* payload, size_t size, bool start) {
    if (!start || size < 1)
        return;
    const size_t pointer = payload[0];
    if (1 + pointer + 3 > size)
        return;
    const uint8_t* section = payload + 1 + pointer;
    const size_t available = size - 1 - pointer;
    const size_t length = std::min<size_t>(LoadU16BE(section + 1) & 0x0FFF, available - 3);
    const uint8_t tableId = section[0];
    if (length < 9) // header fields and the CRC
        return;
    const uint8_t* body = section + 8;
    const size_t bodySize = length - 5 - 4; // after the 5 header bytes, before the CRC
    if (pid == kPatPid && tableId == 0x00) {
        for (size_t i = 0; i + 4 <= bodySize; i += 4) {
            const uint16_t program = LoadU16BE(body + i);
            const auto mapPid = static_cast<uint16_t>(LoadU16BE(body + i + 2) & 0x1FFF);
            if (program != 0 && mapPid > 0x1F && mapPid != kNullPid) {
                m_kind[mapPid] = kKindProgramMap;
                Flush(mapPid);
            }
        }
    } else if (tableId == 0x02 && bodySize >= 4) {
        const size_t infoLength = LoadU16BE(body + 2) & 0x0FFF;
        size_t i = 4 + infoLength;
        while (i + 5 <= bodySize) {
            const auto streamPid = static_cast<uint16_t>(LoadU16BE(body + i + 1) & 0x1FFF);
            const size_t esInfo = LoadU16BE(body + i + 3) & 0x0FFF;
            if (m_kind[streamPid] != kKindProgramMap) {
                m_kind[streamPid] = kKindListed;
                Flush(streamPid);
                m_buffers.erase(std::remove_if(m_buffers.begin(), m_buffers.end(),
                                               [&](const auto& b) { return b.first == streamPid; }),
                                m_buffers.end());
            }
            i += 5 + esInfo;
        }
    }
}

void TsPacketWalker::Pes(uint16_t pid, const uint8_t* payload, size_t size, bool start) {
    auto found = std::find_if(m_buffers.begin(), m_buffers.end(),
                              [&](const auto& b) { return b.first == pid; });
    if (start) {
        if (found != m_buffers.end())
            Flush(pid);
        if (size < kPesHeader || payload[0] != 0 || payload[1] != 0 || payload[2] != 1)
            return;
        if (found == m_buffers.end()) {
            if (m_buffers.size() >= kMaxGathered)
                return;
            m_buffers.emplace_back(pid, Buffer{});
            found = m_buffers.end() - 1;
        }
        Buffer& buffer = found->second;
        buffer.open = true;
        buffer.bytes.clear();
        const size_t length = LoadU16BE(payload + 4);
        buffer.expected = length == 0 ? 0 : kPesHeader + length;
    } else if (found == m_buffers.end() || !found->second.open) {
        return;
    }
    Buffer& buffer = found->second;
    const size_t room = kMaxPesBytes - buffer.bytes.size();
    if (size > room) {
        buffer.open = false; // too long for a record: dropped
        buffer.bytes.clear();
        return;
    }
    buffer.bytes.insert(buffer.bytes.end(), payload, payload + size);
    if (buffer.expected != 0 && buffer.bytes.size() >= buffer.expected) {
        buffer.bytes.resize(buffer.expected);
        Flush(pid);
    }
}

void TsPacketWalker::Flush(uint16_t pid) {
    for (auto& [bufferPid, buffer] : m_buffers) {
        if (bufferPid != pid || !buffer.open)
            continue;
        buffer.open = false;
        if (buffer.expected == 0 || buffer.bytes.size() >= buffer.expected)
            m_onPes(pid, buffer.bytes.data(), buffer.bytes.size());
        buffer.bytes.clear();
    }
}

void TsPacketWalker::Finish() {
    for (auto& entry : m_buffers)
        Flush(entry.first);
}

void ReadFixes(ByteSource& source, TelemetryTrack& track) {
    FixMaker maker;
    int64_t count = 0;
    TsPacketWalker walker([&](uint16_t, const uint8_t* pes, size_t size) {
        if (size <= kPesHeader || pes[3] != kPrivateStream2)
            return;
        const uint8_t* body = pes + kPesHeader;
        const size_t bodySize = size - kPesHeader;
        // The record itself, or a whole block around it.
        std::optional<CGPSData> fix = novatek::DecodeRecord(body, bodySize, maker);
        if (!fix)
            fix = novatek::DecodeBlock(body, bodySize, maker);
        if (fix)
            track.fixes.push_back(TimedFix{count++ * novatek::kBlockIntervalMs, *fix});
    });
    const uint64_t size = source.Size();
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kReadStep, size)));
    for (uint64_t offset = 0; offset + kPacketSize <= size; offset += kReadStep) {
        const auto want = static_cast<size_t>(
            std::min<uint64_t>(kReadStep, (size - offset) / kPacketSize * kPacketSize));
        if (!source.ReadAt(offset, buffer.data(), want))
            break;
        for (size_t at = 0; at + kPacketSize <= want; at += kPacketSize)
            walker.Feed(buffer.data() + at);
    }
    walker.Finish();
}

} // namespace mpegts

#include "TatFormat.h"

#include "Crc32c.h"

#include <cstdio>

namespace tat {

void DirEntry::Encode(uint8_t out[kDirEntrySize]) const {
    std::memset(out, 0, kDirEntrySize);
    std::memcpy(out, name, kNameSize);
    out[kNameSize - 1] = 0;
    PutU64(out + 40, size);
    PutU32(out + 48, index);
    PutU32(out + 52, static_cast<uint32_t>(state));
    PutU32(out + 60, Crc32c(out, 60));
}

bool DirEntry::Decode(const uint8_t in[kDirEntrySize], DirEntry& out) {
    if (GetU32(in + 60) != Crc32c(in, 60) || in[kNameSize - 1] != 0)
        return false;
    const uint32_t state = GetU32(in + 52);
    if (state < 1 || state > 3)
        return false;
    std::memcpy(out.name, in, kNameSize);
    out.size = GetU64(in + 40);
    out.index = GetU32(in + 48);
    out.state = static_cast<EntryState>(state);
    return true;
}

void EncodeDirHeader(int category, uint8_t out[kDirHeaderSize]) {
    std::memset(out, 0, kDirHeaderSize);
    std::memcpy(out, kDirMagic, 8);
    PutU32(out + 8, static_cast<uint32_t>(category));
    PutU32(out + 12, kDirEntrySize);
    PutU32(out + 60, Crc32c(out, 60));
}

bool CheckDirHeader(const uint8_t in[kDirHeaderSize], int category) {
    return std::memcmp(in, kDirMagic, 8) == 0 && GetU32(in + 60) == Crc32c(in, 60) &&
           GetU32(in + 8) == static_cast<uint32_t>(category) && GetU32(in + 12) == kDirEntrySize;
}

void EncodeVolumeHeader(uint32_t length, uint32_t textCrc, uint8_t out[kVolumeHeaderSize]) {
    std::memset(out, 0, kVolumeHeaderSize);
    std::memcpy(out, kVolumeMagic, 8);
    PutU32(out + 8, 1);
    PutU32(out + 12, length);
    PutU32(out + 16, textCrc);
    PutU32(out + 20, Crc32c(out, 20));
}

bool DecodeVolumeHeader(const uint8_t in[kVolumeHeaderSize], uint32_t& length, uint32_t& textCrc) {
    if (std::memcmp(in, kVolumeMagic, 8) != 0 || GetU32(in + 20) != Crc32c(in, 20))
        return false;
    length = GetU32(in + 12);
    textCrc = GetU32(in + 16);
    return length <= kMaxConfigText;
}

void InfoBlock::Encode(uint8_t out[kInfoBlockSize]) const {
    std::memset(out, 0, kInfoBlockSize);
    out[0] = category;
    out[1] = channels;
    out[3] = frontFrameRate;
    out[4] = rearFrameRate;
    PutU32(out + 8, audioRate);
    PutU16(out + 12, audioBits);
    PutU16(out + 20, frontHeight);
    PutU16(out + 22, rearHeight);
    PutU64(out + 24, static_cast<uint64_t>(startTime));
    PutU16(out + 52, frontWidth);
    PutU16(out + 54, rearWidth);
}

InfoBlock InfoBlock::Decode(const uint8_t in[kInfoBlockSize]) {
    InfoBlock b;
    b.category = in[0];
    b.channels = in[1];
    b.frontFrameRate = in[3];
    b.rearFrameRate = in[4];
    b.audioRate = GetU32(in + 8);
    b.audioBits = GetU16(in + 12);
    b.frontHeight = GetU16(in + 20);
    b.rearHeight = GetU16(in + 22);
    b.startTime = static_cast<int64_t>(GetU64(in + 24));
    b.frontWidth = GetU16(in + 52);
    b.rearWidth = GetU16(in + 54);
    return b;
}

void PacketHeader::Encode(uint8_t out[kPacketHeaderSize]) const {
    out[0] = 'P';
    out[1] = 'K';
    out[2] = type;
    out[3] = channel;
    PutU32(out + 4, size);
    PutU32(out + 8, sequence);
    PutU32(out + 12, crc);
}

bool PacketHeader::Decode(const uint8_t in[kPacketHeaderSize], PacketHeader& out) {
    if (in[0] != 'P' || in[1] != 'K' || in[2] > Text || in[3] > 1)
        return false;
    out.type = in[2];
    out.channel = in[3];
    out.size = GetU32(in + 4);
    out.sequence = GetU32(in + 8);
    out.crc = GetU32(in + 12);
    return out.size <= kMaxPacketSize;
}

uint32_t PacketHeader::ComputeCrc(const uint8_t* payload) const {
    uint8_t head[kPacketHeaderSize];
    Encode(head);
    return Crc32c(payload, size, Crc32c(head, 12));
}

void Footer::Encode(uint8_t out[kFooterSize]) const {
    std::memset(out, 0, kFooterSize);
    std::memcpy(out, kFooterMagic, 8);
    PutU64(out + 8, dataEnd);
    PutU32(out + 16, counts.frontFrames);
    PutU32(out + 20, counts.rearFrames);
    PutU32(out + 24, counts.audioPackets);
    PutU32(out + 28, counts.sensorPackets);
    PutU32(out + 32, counts.gpsPackets);
    PutU32(out + 36, durationMs);
    PutU32(out + 40, indexEntries);
    PutU32(out + 60, Crc32c(out, 60));
}

bool Footer::Decode(const uint8_t in[kFooterSize], Footer& out) {
    if (std::memcmp(in, kFooterMagic, 8) != 0 || GetU32(in + 60) != Crc32c(in, 60))
        return false;
    out.dataEnd = GetU64(in + 8);
    out.counts.frontFrames = GetU32(in + 16);
    out.counts.rearFrames = GetU32(in + 20);
    out.counts.audioPackets = GetU32(in + 24);
    out.counts.sensorPackets = GetU32(in + 28);
    out.counts.gpsPackets = GetU32(in + 32);
    out.durationMs = GetU32(in + 36);
    out.indexEntries = GetU32(in + 40);
    return out.indexEntries <= kMaxIndexEntries;
}

std::string CountsText(const Counts& c) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "cntVideo0=%u; cntVideo1=%u; cntAudio=%u; cntACC=%u; cntGPS=%u", c.frontFrames,
                  c.rearFrames, c.audioPackets, c.sensorPackets, c.gpsPackets);
    return text;
}

} // namespace tat

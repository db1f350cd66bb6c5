#include "TatFormat.h"

#include "Crc32c.h"
#include "base/ByteOrder.h"

#include <cstdio>

namespace tat {

void DirEntry::Encode(uint8_t out[kDirEntrySize]) const {
    std::memset(out, 0, kDirEntrySize);
    std::memcpy(out, name, kNameSize);
    out[kNameSize - 1] = 0;
    StoreU64LE(out + 40, size);
    StoreU32LE(out + 48, index);
    StoreU32LE(out + 52, static_cast<uint32_t>(state));
    StoreU32LE(out + 60, Crc32c(out, 60));
}

bool DirEntry::Decode(const uint8_t in[kDirEntrySize], DirEntry& out) {
    if (LoadU32LE(in + 60) != Crc32c(in, 60) || in[kNameSize - 1] != 0)
        return false;
    const uint32_t state = LoadU32LE(in + 52);
    if (state < 1 || state > 3)
        return false;
    std::memcpy(out.name, in, kNameSize);
    out.size = LoadU64LE(in + 40);
    out.index = LoadU32LE(in + 48);
    out.state = static_cast<EntryState>(state);
    return true;
}

void EncodeDirHeader(int category, uint8_t out[kDirHeaderSize]) {
    std::memset(out, 0, kDirHeaderSize);
    std::memcpy(out, kDirMagic, 8);
    StoreU32LE(out + 8, static_cast<uint32_t>(category));
    StoreU32LE(out + 12, kDirEntrySize);
    StoreU32LE(out + 60, Crc32c(out, 60));
}

bool CheckDirHeader(const uint8_t in[kDirHeaderSize], int category) {
    return std::memcmp(in, kDirMagic, 8) == 0 && LoadU32LE(in + 60) == Crc32c(in, 60) &&
           LoadU32LE(in + 8) == static_cast<uint32_t>(category) &&
           LoadU32LE(in + 12) == kDirEntrySize;
}

void EncodeVolumeHeader(uint32_t length, uint32_t textCrc, uint8_t out[kVolumeHeaderSize]) {
    std::memset(out, 0, kVolumeHeaderSize);
    std::memcpy(out, kVolumeMagic, 8);
    StoreU32LE(out + 8, 1);
    StoreU32LE(out + 12, length);
    StoreU32LE(out + 16, textCrc);
    StoreU32LE(out + 20, Crc32c(out, 20));
}

bool DecodeVolumeHeader(const uint8_t in[kVolumeHeaderSize], uint32_t& length, uint32_t& textCrc) {
    if (std::memcmp(in, kVolumeMagic, 8) != 0 || LoadU32LE(in + 20) != Crc32c(in, 20))
        return false;
    length = LoadU32LE(in + 12);
    textCrc = LoadU32LE(in + 16);
    return length <= kMaxConfigText;
}

void InfoBlock::Encode(uint8_t out[kInfoBlockSize]) const {
    std::memset(out, 0, kInfoBlockSize);
    out[0] = category;
    out[1] = channels;
    out[3] = frontFrameRate;
    out[4] = rearFrameRate;
    StoreU32LE(out + 8, audioRate);
    StoreU16LE(out + 12, audioBits);
    StoreU16LE(out + 20, frontHeight);
    StoreU16LE(out + 22, rearHeight);
    StoreU64LE(out + 24, static_cast<uint64_t>(startTime));
    StoreU16LE(out + 52, frontWidth);
    StoreU16LE(out + 54, rearWidth);
}

InfoBlock InfoBlock::Decode(const uint8_t in[kInfoBlockSize]) {
    InfoBlock b;
    b.category = in[0];
    b.channels = in[1];
    b.frontFrameRate = in[3];
    b.rearFrameRate = in[4];
    b.audioRate = LoadU32LE(in + 8);
    b.audioBits = LoadU16LE(in + 12);
    b.frontHeight = LoadU16LE(in + 20);
    b.rearHeight = LoadU16LE(in + 22);
    b.startTime = static_cast<int64_t>(LoadU64LE(in + 24));
    b.frontWidth = LoadU16LE(in + 52);
    b.rearWidth = LoadU16LE(in + 54);
    return b;
}

void PacketHeader::Encode(uint8_t out[kPacketHeaderSize]) const {
    out[0] = 'P';
    out[1] = 'K';
    out[2] = type;
    out[3] = channel;
    StoreU32LE(out + 4, size);
    StoreU32LE(out + 8, sequence);
    StoreU32LE(out + 12, crc);
}

bool PacketHeader::Decode(const uint8_t in[kPacketHeaderSize], PacketHeader& out) {
    if (in[0] != 'P' || in[1] != 'K' || in[2] > Text || in[3] > 1)
        return false;
    out.type = in[2];
    out.channel = in[3];
    out.size = LoadU32LE(in + 4);
    out.sequence = LoadU32LE(in + 8);
    out.crc = LoadU32LE(in + 12);
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
    StoreU64LE(out + 8, dataEnd);
    StoreU32LE(out + 16, counts.frontFrames);
    StoreU32LE(out + 20, counts.rearFrames);
    StoreU32LE(out + 24, counts.audioPackets);
    StoreU32LE(out + 28, counts.sensorPackets);
    StoreU32LE(out + 32, counts.gpsPackets);
    StoreU32LE(out + 36, durationMs);
    StoreU32LE(out + 40, indexEntries);
    StoreU32LE(out + 60, Crc32c(out, 60));
}

bool Footer::Decode(const uint8_t in[kFooterSize], Footer& out) {
    if (std::memcmp(in, kFooterMagic, 8) != 0 || LoadU32LE(in + 60) != Crc32c(in, 60))
        return false;
    out.dataEnd = LoadU64LE(in + 8);
    out.counts.frontFrames = LoadU32LE(in + 16);
    out.counts.rearFrames = LoadU32LE(in + 20);
    out.counts.audioPackets = LoadU32LE(in + 24);
    out.counts.sensorPackets = LoadU32LE(in + 28);
    out.counts.gpsPackets = LoadU32LE(in + 32);
    out.durationMs = LoadU32LE(in + 36);
    out.indexEntries = LoadU32LE(in + 40);
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

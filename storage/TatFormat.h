#pragma once

// The camera's TAT storage on a card: layout constants and the little-endian fields of its
// records. docs/tat-storage.md describes the format for readers of the card.
//
//   CARD/SETTING/                  the viewer's copy of the camera settings (blackbox.cfg)
//   CARD/TATSTORE/VOLUME.TAT       volume record with the camera's configuration text
//   CARD/TATSTORE/<CAT>.DIR        directory of one category: fixed 64-byte entries
//   CARD/TATSTORE/<CAT>/<NAME>.TRD one recording: header, packets, seek index, footer
//
// Every record carries a CRC-32C. Directory entries are 64 bytes at 64-byte offsets, so an
// entry never straddles a 512-byte sector and its update on closing a recording is atomic
// on the card.

#include "storage/RecordingName.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tat {

inline constexpr char kStoreFolder[] = "TATSTORE";
inline constexpr char kSettingFolder[] = "SETTING";
inline constexpr char kVolumeFile[] = "VOLUME.TAT";
inline constexpr char kRecordingExtension[] = ".TRD";

// Categories (kCategoryCount, kCategoryWords) and recording names: RecordingName.h.

// Volume record: header, then the configuration text.
inline constexpr char kVolumeMagic[8] = {'T', 'A', 'T', 'V', 'O', 'L', '0', '1'};
inline constexpr size_t kVolumeHeaderSize = 24; // magic, version, text length, text crc, crc
inline constexpr uint32_t kMaxConfigText = 16384;

// Directory file: a 64-byte header, then 64-byte entries.
inline constexpr char kDirMagic[8] = {'T', 'A', 'T', 'D', 'I', 'R', '0', '1'};
inline constexpr size_t kDirHeaderSize = 64;
inline constexpr size_t kDirEntrySize = 64;
inline constexpr size_t kNameSize = kMaxNameLength + 1; // with its terminating zero

enum class EntryState : uint32_t { Recording = 1, Closed = 2, Deleted = 3 };

struct DirEntry {
    char name[kNameSize] = {};
    uint64_t size = 0;  // bytes of the recording file once closed; 0 while recording
    uint32_t index = 0; // position in the directory
    EntryState state = EntryState::Recording;

    void Encode(uint8_t out[kDirEntrySize]) const;
    // False when the checksum, the state or the name's terminator is wrong.
    static bool Decode(const uint8_t in[kDirEntrySize], DirEntry& out);
};

void EncodeDirHeader(int category, uint8_t out[kDirHeaderSize]);
bool CheckDirHeader(const uint8_t in[kDirHeaderSize], int category);

// Volume header for a configuration text of `length` bytes with checksum `textCrc`.
void EncodeVolumeHeader(uint32_t length, uint32_t textCrc, uint8_t out[kVolumeHeaderSize]);
// False when the header is damaged or the length is out of range.
bool DecodeVolumeHeader(const uint8_t in[kVolumeHeaderSize], uint32_t& length, uint32_t& textCrc);

// Recording file header (512 bytes) and its 212-byte information block.
inline constexpr char kRecordingMagic[8] = {'T', 'A', 'T', 'R', 'E', 'C', '0', '1'};
inline constexpr size_t kRecordingHeaderSize = 512;
inline constexpr size_t kInfoBlockOffset = 16;
inline constexpr size_t kInfoBlockSize = 212;
inline constexpr size_t kHeaderNameOffset = 228;

// Fields of the information block (offsets within the block).
struct InfoBlock {
    uint8_t category = 0;
    uint8_t channels = 1;       // 1 front only, 2 front and rear
    uint8_t frontFrameRate = 0; // byte 3
    uint8_t rearFrameRate = 0;  // byte 4
    uint32_t audioRate = 8000;  // byte 8
    uint16_t audioBits = 16;    // byte 12
    int64_t startTime = 0;      // byte 24: camera clock, seconds since 1970
    uint16_t frontHeight = 0;   // byte 20
    uint16_t rearHeight = 0;    // byte 22
    uint16_t frontWidth = 0;    // byte 52
    uint16_t rearWidth = 0;     // byte 54

    void Encode(uint8_t out[kInfoBlockSize]) const;
    static InfoBlock Decode(const uint8_t in[kInfoBlockSize]);
};

// Packets follow the header back to back.
inline constexpr size_t kPacketHeaderSize = 16;
inline constexpr uint32_t kMaxPacketSize = 1048575; // below the readers' 1 MiB buffers
enum PacketType : uint8_t {
    VideoKeyFrame = 0,
    Audio = 1,
    VideoFrame = 2,
    Text = 3,
};

struct PacketHeader {
    uint8_t type = 0;
    uint8_t channel = 0; // video: 0 front, 1 rear
    uint32_t size = 0;
    uint32_t sequence = 0; // 0, 1, 2, ... in file order
    uint32_t crc = 0;      // of header bytes 0..11 and the payload

    void Encode(uint8_t out[kPacketHeaderSize]) const;
    // False when the sync bytes or the type are wrong or the size is out of range.
    static bool Decode(const uint8_t in[kPacketHeaderSize], PacketHeader& out);
    uint32_t ComputeCrc(const uint8_t* payload) const;
};

// After the last packet of a closed recording: the seek index, then the footer.
inline constexpr char kIndexMagic[4] = {'T', 'I', 'D', 'X'};
inline constexpr size_t kIndexHeaderSize = 8; // magic, entry count; entries; crc
inline constexpr uint32_t kMaxIndexEntries = 86400;
inline constexpr char kFooterMagic[8] = {'T', 'A', 'T', 'E', 'N', 'D', '0', '1'};
inline constexpr size_t kFooterSize = 64;

struct Counts {
    uint32_t frontFrames = 0;
    uint32_t rearFrames = 0;
    uint32_t audioPackets = 0;
    uint32_t sensorPackets = 0; // G-sensor ('M') lines
    uint32_t gpsPackets = 0;    // GPS ('G') lines
};

struct Footer {
    uint64_t dataEnd = 0; // offset of the seek index, just behind the last packet
    Counts counts;
    uint32_t durationMs = 0;
    uint32_t indexEntries = 0;

    void Encode(uint8_t out[kFooterSize]) const;
    static bool Decode(const uint8_t in[kFooterSize], Footer& out);
};

// The counts text of a recording: "cntVideo0=%d; cntVideo1=%d; cntAudio=%d; cntACC=%d; cntGPS=%d".
std::string CountsText(const Counts& counts);

} // namespace tat

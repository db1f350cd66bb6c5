#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the clip tests read back from media files with libavformat and libavcodec.

// One packet of a file's first stream of a kind, as stored.
struct StoredPacket {
    std::vector<uint8_t> data;
    int64_t ptsUs = 0; // from the stream's zero
    int64_t dtsUs = 0;
    bool key = false;
};

struct StoredStream {
    bool found = false;
    std::string codec;   // "h264", "aac", "alac"
    int64_t startUs = 0; // the stream's first time
    std::vector<StoredPacket> packets;
};

// The packets of the file's first video (video true) or sound stream; found false without one.
StoredStream ReadStream(const std::string& path, bool video);

// The NAL units of an access unit: Annex B (start codes) or MP4's 4-byte length prefixes.
std::vector<std::vector<uint8_t>> AnnexBUnits(const std::vector<uint8_t>& data);
std::vector<std::vector<uint8_t>> LengthPrefixedUnits(const std::vector<uint8_t>& data);

// The file's first sound stream decoded to 16-bit mono samples (the first channel).
std::vector<int16_t> DecodeSound(const std::string& path);

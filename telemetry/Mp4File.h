#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// A box of an MP4 (ISO base media / QuickTime) file, at its place in the file or in a buffer.
struct Mp4Box {
    std::string type;        // four characters
    uint64_t offset = 0;     // of the box's first byte
    uint64_t headerSize = 0; // 8, or 16 with a 64-bit size
    uint64_t size = 0;       // the whole box
    uint64_t DataOffset() const { return offset + headerSize; }
    uint64_t DataSize() const { return size - headerSize; }
};

// One sample of a track: where its bytes lie in the file and when it plays.
struct Mp4Sample {
    uint64_t offset = 0;
    uint32_t size = 0;
    int64_t timeMs = 0;         // from the track's start (decoding order)
    int64_t durationMs = 0;     // up to the next sample
    int64_t presentationMs = 0; // timeMs moved by the composition offset (ctts), if any
};

// A track as its sample description names it.
struct Mp4Track {
    std::string handler;    // the handler type: "vide", "soun", "meta", "text", "sbtl", ...
    std::string format;     // the first sample description's type: "avc1", "gpmd", "tx3g", ...
    uint32_t timescale = 0; // ticks per second
    // The first sample description's payload, after its size and type (for a video track
    // the visual sample entry with its codec boxes, such as avcC).
    std::vector<uint8_t> description;
    std::vector<Mp4Sample> samples;
};

// Reads what the telemetry readers need of an MP4 file: the top-level boxes, the movie box
// (moov) whole, and the sample tables of its tracks (stts, stsc, stsz, stco / co64, ctts).
//
// Every size, count and offset is checked against the box that holds it and the file:
// a damaged or hostile file gives fewer boxes, tracks or samples, never a read outside them.
// A track's samples end at the first one that lies outside the file or would bring the
// samples' bytes past the file's size.
// A file without a movie box (a recording cut off by a power cut) still lists its top-level
// boxes.
//
// Owns copies of what it read; the source is used only during Open. One thread at a time.
class Mp4File {
public:
    // The movie box is read whole only up to this size.
    static constexpr uint64_t kMaxMoovBytes = 64ull << 20;
    // Samples of one track taken at most.
    static constexpr uint32_t kMaxSamples = 1u << 20;
    // Top-level boxes walked at most.
    static constexpr size_t kMaxTopLevelBoxes = 4096;

    // Reads the top-level boxes and the movie box. False when the source does not start with
    // a box of a kind that opens MP4 and QuickTime files.
    bool Open(ByteSource& source);

    const std::vector<Mp4Box>& TopLevel() const { return m_topLevel; }
    // The first top-level box of the type; null when there is none.
    const Mp4Box* FindTopLevel(std::string_view type) const;

    // The movie box's payload (its children); empty when there is none.
    const std::vector<uint8_t>& Moov() const { return m_moov; }

    // The movie's tracks in file order, with their samples when their format is one of
    // sampleFormats (every track's when the list is empty).
    std::vector<Mp4Track> Tracks(std::initializer_list<std::string_view> sampleFormats = {}) const;

    // The child boxes of a payload in memory, offsets relative to `data`; stops at the first
    // box that does not fit.
    static std::vector<Mp4Box> Children(const uint8_t* data, size_t size);
    // The first child of the type; false when there is none.
    static bool FindChild(const uint8_t* data, size_t size, std::string_view type, Mp4Box& out);

private:
    std::vector<Mp4Box> m_topLevel;
    std::vector<uint8_t> m_moov;
    uint64_t m_fileSize = 0;
};

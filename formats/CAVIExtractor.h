#pragma once

#include "CountedTimes.h"
#include "base/AlignedBuffer.h"
#include "player/api/VMediaParser.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class DiagLog;

// Reads recordings stored as AVI files: the header, then the chunks of the movi list one by
// one in file order, and a seek table of the front video frames built from the index.
//
// File layout (RIFF, little-endian, every chunk padded to an even length):
//   "RIFF" size "AVI "
//     "LIST" size "hdrl"  "avih"(56)  then one "LIST" "strl" per stream: "strh"(56) "strf"
//                         (video 40-byte bitmap header, audio 16-byte PCM format, text any)
//     "LIST" size "movi"  chunks "00dc" front, "01dc" rear, "0Nwb" audio, "0Ntx" text
//     "idx1" 16 bytes per chunk: id, flags, offset of the id from the "movi" word, size
//
// Every read is bounds-checked against the caller's capacity and the file: bad input gives
// Open 0 or the end of the reads, never a read outside a buffer.
//
// The file stores no times: Read stamps each packet by counting frames and sound blocks
// (CountedTimes), from the start or from the frame a seek landed on. Only video, audio and
// text chunks come out of Read; ReadChunk gives every chunk with its id, for tools that look
// inside the file.
//
// Threads: one caller at a time; no thread of its own.
class CAVIExtractor final : public VMediaParser {
public:
    // The largest index read, in bytes (32,000 entries); a larger one counts as none.
    static constexpr int32_t kIndexBufferSize = 512000;

    CAVIExtractor() = default;
    ~CAVIExtractor() override;
    CAVIExtractor(const CAVIExtractor&) = delete;
    CAVIExtractor& operator=(const CAVIExtractor&) = delete;

    // Diagnostic lines ("Read Header Failed\n", "Wrong Size %d < %d\n", ...) go here.
    void SetDiagLog(const DiagLog* log) { m_diag = log; }

    bool Start() override { return true; }
    void Stop() override {}

    // Returns the size of the movi list (nonzero) or 0. With info, BuildIndex runs first.
    int64_t Open(const std::string& path, OpenInfo* info) override;
    void Close() override;

    // The next video, audio or text chunk, with its time; other chunks are passed over.
    bool Read(uint8_t* buffer, int32_t capacity, MediaPacket& packet) override;
    // The next chunk of any kind: returns the file offset at which the chunk began, or -1. id
    // receives the four letters and a terminating zero; size is in: the buffer's capacity,
    // out: the payload length.
    int64_t ReadChunk(char id[5], uint8_t* buffer, int32_t& size);
    // kEnded when the last read found the file's end right after a whole chunk at or past
    // the end of the movi list; kFailed for anything else (a cut chunk, a file that ends
    // inside the movi list, a read error, a chunk larger than the caller's buffer).
    ReadEnd LastReadEnd() const override { return m_lastEnd; }
    // Fills frame counts and the front seek table from the index; leaves the file closed.
    bool BuildIndex(const std::string& path, OpenInfo& info);

    VideoSize GetVideoSize(int stream) override;
    // Capped at 30 frames per second.
    int32_t GetFrameRate(int stream) override;
    void GetAudioFormat(int32_t& bitsPerSample, int32_t& samplesPerSecond) override;

    // Raw access to the open file. origin: 0 start, 1 current, 2 end.
    int64_t ReadRaw(uint8_t* buffer, int64_t count);
    int Seek(int64_t offset, int origin);
    int64_t Tell();

    // Jumps to front frame trunc(rate × seconds); -1 (position unchanged) without a seek table
    // or outside it.
    int SeekTime(float seconds) override;

    // What the header said, for tools and tests.
    int32_t VideoStreamCount() const { return m_videoStreamCount; }
    int32_t StoredFrameRate(int stream) const;
    const std::vector<uint32_t>& SeekTable() const { return m_frontFrameOffsets; }

private:
    struct VideoStreamInfo {
        int32_t width = 0;
        int32_t height = 0;
        int32_t frameRate = 0;
    };

    int64_t EndOfReads(ReadEnd why);
    bool ReadExact(void* dest, size_t count);
    bool ReadU32(uint32_t& value);
    bool ReadId(char id[4]);
    bool Skip(int64_t count);
    bool ReadHeaderItem(int64_t& remaining, int depth);
    bool ReadStreamList(int64_t& remaining);

    const DiagLog* m_diag = nullptr;
    std::FILE* m_file = nullptr;
    int64_t m_fileSize = 0;
    int64_t m_moviEnd = 0; // file offset right after the movi list's last byte
    ReadEnd m_lastEnd = ReadEnd::kEnded;
    AlignedBuffer m_fileBuffer; // stdio's buffer for the file

    uint32_t m_riffSize = 0;
    std::array<uint8_t, 56> m_mainHeader{};
    std::array<uint8_t, 56> m_streamHeader{};
    std::array<uint8_t, 40> m_videoFormat{};
    std::array<uint8_t, 16> m_audioFormat{};
    std::array<VideoStreamInfo, 2> m_videoStreams{};
    int32_t m_videoStreamCount = 0;
    std::vector<uint32_t> m_frontFrameOffsets;
    CountedTimes m_times;
};

#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The length of a video file and whether it is whole, read from a few of its bytes so that a
// folder of thousands of files lists in a moment (no demuxer, no decoder):
//   MP4/MOV: the top-level boxes are walked by their headers to the movie header (mvhd) of
//            the moov box; a file without moov (the camera lost power before writing its
//            index) or whose boxes run past its end is damaged;
//   MPEG-TS: the first and last presentation times in its first and last 64 KiB; a file
//            whose length is not whole 188-byte packets (cut short) is damaged.
// Other files: unknown (seconds < 0), not damaged.
//
// Never reads outside what the reader returns; bounded work for any bytes. Any thread.
struct QuickDuration {
    double seconds = -1; // < 0: unknown
    bool damaged = false;

    // Reads up to n bytes at offset into buffer; the count read (0 at the end, < 0 on error).
    using Reader = std::function<int64_t(int64_t offset, uint8_t* buffer, int64_t n)>;

    // kind: the file's extension without the dot (mp4, MOV, ts, ...); fileSize in bytes.
    static QuickDuration Read(const std::string& kind, int64_t fileSize, const Reader& read);
    // The same for a file on disk; damaged when it cannot be opened.
    static QuickDuration OfFile(const std::string& path);
};

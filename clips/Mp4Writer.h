#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>
#include <string>
#include <vector>

// One MP4 file written through libavformat's muxer, for the lossless copy: streams declared from
// codec parameters, then packets handed in with their times in each stream's own time base.
// The muxer keeps the payloads as they come (an Annex B access unit is only reframed with
// length prefixes, as MP4 stores H.264 and H.265).
//
// Each stream's decoding times are kept rising: a packet whose time is not after the one before
// (two files of a drive that overlap by a tick) is moved just after it. Every failure is kept as
// one line for people: the reason (the system's or libav's text) and the path shown.
//
// Not copyable; one thread. Owns the muxer; the file is closed (not removed) when it goes.
class Mp4Writer {
public:
    // path: the file written (a temporary one); shownPath: the name errors give.
    Mp4Writer(std::string path, std::string shownPath);
    ~Mp4Writer();
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    // Declares a stream coded as `parameters` (copied; its codec tag cleared) whose packets come
    // in `timeBase`. Before Begin only. Its index, or -1 (Error set) when MP4 cannot hold it.
    int AddStream(const AVCodecParameters* parameters, AVRational timeBase);
    // Whether MP4 holds a codec at all (asked before a stream is offered).
    static bool Holds(AVCodecID codec);
    // Opens the file and writes the header; false with Error set.
    bool Begin();
    bool Begun() const { return m_begun; }
    // Writes the packet to the stream, its times in the stream's time base; the packet is
    // emptied. False with Error set.
    bool Write(AVPacket* packet, int stream);
    // Writes the index and closes the file, reporting any write that failed; false with Error set.
    bool Finish();

    const std::string& Error() const { return m_error; }
    // Packets written to a stream, and the end of its last one (presentation time plus
    // duration) in microseconds from the file's zero.
    int64_t Packets(int stream) const;
    int64_t EndUs(int stream) const;

private:
    struct Stream {
        AVRational inBase{1, 1000000};
        int64_t lastDts = AV_NOPTS_VALUE;
        int64_t packets = 0;
        int64_t endUs = 0;
    };
    bool Fail(const char* step, int error);

    std::string m_path;
    std::string m_shown;
    AVFormatContext* m_format = nullptr;
    std::vector<Stream> m_streams;
    bool m_begun = false;
    bool m_finished = false;
    std::string m_error;
};

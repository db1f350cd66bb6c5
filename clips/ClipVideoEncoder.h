#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

extern "C" {
#include <libavutil/rational.h>
}

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace clips {

// The clip's pictures coded as H.264 by libx264 through libavcodec: yuv420p at the constant
// quality (CRF) and x264 preset asked for, a key frame at least every two seconds, as many
// threads as the machine has cores.
//
// Each packet leaves with its duration: up to the next picture's time, the last one's up to the
// clip's end (at most one frame), so that the file's length is the pictures' span.
//
// Owns the encoder. One thread; not copyable.
class ClipVideoEncoder {
public:
    // Takes each packet coded (times in TimeBase()); returns false to stop.
    using PacketFn = std::function<bool(AVPacket*)>;

    ClipVideoEncoder() = default;
    ~ClipVideoEncoder();
    ClipVideoEncoder(const ClipVideoEncoder&) = delete;
    ClipVideoEncoder& operator=(const ClipVideoEncoder&) = delete;

    // Opens the encoder for pictures like `first` (size, aspect, colours) at about frameRate a
    // second. globalHeader: the container keeps the codec's set-up in its header (MP4 does).
    // False with `error` set.
    bool Open(const AVFrame& first, int frameRate, int crf, const std::string& preset,
              bool globalHeader, std::string& error);
    const AVCodecContext* Encoder() const { return m_encoder; }

    // Codes one picture whose time is frame->pts in `timeBase` (the frame's times and picture
    // type are changed). False with `error` set.
    bool Encode(AVFrame* frame, AVRational timeBase, const PacketFn& out, std::string& error);
    // Codes the pictures held back; the last one lasts until endUs (µs, on the pictures' time
    // line), at most one frame. False as Encode.
    bool Finish(int64_t endUs, const PacketFn& out, std::string& error);

    // Pictures coded, and the span from the first one's time to the last one's end (µs).
    int64_t Pictures() const { return m_pictures; }
    int64_t LengthUs() const;

private:
    bool Drain(const PacketFn& out, std::string& error);

    AVCodecContext* m_encoder = nullptr; // owned
    AVPacket* m_packet = nullptr;        // owned
    int64_t m_frameTicks = 3000;         // one frame in the time base
    int64_t m_pictures = 0;
    int64_t m_firstPts = 0;
    int64_t m_lastPts = 0;
    int64_t m_lastDuration = 0;
    std::map<int64_t, int64_t> m_durations; // by picture time, of the pictures in the encoder
};

} // namespace clips

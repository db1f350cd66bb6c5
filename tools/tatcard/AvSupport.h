#pragma once

// Small helpers around the FFmpeg libraries for the import and the encoder: error codes whose
// macros expand to C-style casts, error text, owners that free the libraries' objects, and
// the steps of reading one stream of a file.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

namespace av {

// FFERRTAG(a, b, c, d) without the cast.
constexpr int ErrorTag(char a, char b, char c, char d) {
    return -static_cast<int>(static_cast<uint32_t>(static_cast<uint8_t>(a)) |
                             static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
                             static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
                             static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

inline constexpr int kEndOfFile = ErrorTag('E', 'O', 'F', ' ');              // AVERROR_EOF
inline constexpr int kInvalidData = ErrorTag('I', 'N', 'D', 'A');            // AVERROR_INVALIDDATA
inline constexpr int kAgain = -EAGAIN;                                       // AVERROR(EAGAIN)
inline constexpr int64_t kNoTimestamp = std::numeric_limits<int64_t>::min(); // AV_NOPTS_VALUE

// "what: the library's text for code".
inline std::string Describe(const std::string& what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    std::string message = what;
    message.append(": ");
    message.append(text);
    return message;
}

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct FilterFreer {
    void operator()(AVBSFContext* filter) const { av_bsf_free(&filter); }
};

using Format = std::unique_ptr<AVFormatContext, FormatCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Filter = std::unique_ptr<AVBSFContext, FilterFreer>;

// Opens a media file and reads its stream information; null with error set when that fails.
inline Format OpenInput(const std::string& path, std::string* error) {
    AVFormatContext* raw = nullptr;
    int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (rc < 0) {
        if (error != nullptr)
            *error = Describe("cannot open " + path, rc);
        return nullptr;
    }
    Format format(raw);
    rc = avformat_find_stream_info(raw, nullptr);
    if (rc < 0) {
        if (error != nullptr)
            *error = Describe("cannot read the streams of " + path, rc);
        return nullptr;
    }
    return format;
}

// The file's main stream of a kind, with every other stream discarded so that the demuxer
// skips them; null when the file has none.
AVStream* SelectMainStream(AVFormatContext* format, AVMediaType type);

// An opened decoder for the stream, on `threads` threads (0: as many as it likes). `what`
// names the stream in messages ("the sound of F"). Null with error set when there is no
// decoder or it cannot be opened.
Codec OpenDecoder(const AVStream* stream, int threads, const std::string& what, std::string* error);

// Sends a packet to the decoder and lets go of it. A damaged packet is left out, as players
// do; other failures give false with error set ("decoding <what> failed: ...").
bool SendPacket(AVCodecContext* decoder, AVPacket* packet, const std::string& what,
                std::string* error);

// The decoder's next frame; got is false when it needs more packets or has ended. False with
// error set when decoding fails.
bool ReceiveFrame(AVCodecContext* decoder, AVFrame* frame, bool& got, const std::string& what,
                  std::string* error);

// Seconds of a stream's first timestamp, 0 when it has none.
inline double StartSeconds(const AVStream* stream) {
    if (stream == nullptr || stream->start_time == kNoTimestamp)
        return 0.0;
    return static_cast<double>(stream->start_time) * av_q2d(stream->time_base);
}

} // namespace av
